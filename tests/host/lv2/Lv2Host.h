#pragma once

// A small LV2 host on Debian's lilv: it reads a plug-in's description as a host does and runs
// the plug-in, setting its parameters with patch:Set messages on the control input port.
// The interface uses only standard types, so tests that also include the framework's headers
// (which carry their own copy of lilv's) can use it; lilv is seen by Lv2Host.cpp alone.

#include <memory>
#include <string>
#include <vector>

namespace lv2host
{
struct ScalePoint
{
    std::string label;
    float value = 0.0f;
};

// A parameter the plug-in lists as patch:writable, as lilv reads its description.
struct Parameter
{
    std::string uri, label;
    bool hasRange = false;
    float minimum = 0.0f, maximum = 0.0f, defaultValue = 0.0f;
    std::vector<ScalePoint> scalePoints; // sorted by value
};

struct Preset
{
    std::string uri, label, comment; // comment empty when the preset has none
};

struct Description
{
    std::string name, classUri, classLabel, description, authorEmail;
    std::vector<std::string> requiredFeatures;
    std::vector<Parameter> parameters; // in the order of patch:writable
    std::vector<Preset> presets;       // sorted by URI
};

class Instance
{
public:
    virtual ~Instance() = default;

    // Queues a patch:Set of the parameter to the value, sent with the next call to process().
    virtual void setParameter (const std::string& parameterUri, float value) = 0;

    // Loads a preset as a host does: reads its state from the description and restores it into
    // the plug-in through the plug-in's state interface. Throws std::runtime_error on failure.
    virtual void loadPreset (const std::string& presetUri) = 0;

    // Runs the plug-in once over numSamples (at most the block size it was made with) of the
    // two input channels, writing its two output channels.
    virtual void process (const float* const* inputs, float* const* outputs, int numSamples) = 0;
};

class Host
{
public:
    // Loads the bundle (a folder) and the LV2 core description bundle, which gives lilv the
    // names of the plug-in classes. Throws std::runtime_error when the plug-in is not found.
    Host (const std::string& bundlePath, const std::string& coreBundlePath, const std::string& pluginUri);
    ~Host();

    Description describe() const;

    // Instantiates the plug-in with the features this host offers (URID map and unmap, options
    // with the block length, bounded block length). Throws std::runtime_error on failure.
    std::unique_ptr<Instance> instantiate (double sampleRate, int blockSize) const;

private:
    struct World;
    std::unique_ptr<World> world;
};
} // namespace lv2host
