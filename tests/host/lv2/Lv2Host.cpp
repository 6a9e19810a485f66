#include "Lv2Host.h"

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/patch/patch.h>
#include <lv2/presets/presets.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <stdexcept>

namespace lv2host
{
namespace
{
    constexpr const char* rdfsNs = "http://www.w3.org/2000/01/rdf-schema#";
    constexpr const char* rdfNs = "http://www.w3.org/1999/02/22-rdf-syntax-ns#";
    constexpr const char* doapDescription = "http://usefulinc.com/ns/doap#description";

    // Owns a node lilv hands over (lilv_new_*, lilv_world_get, lilv_plugin_get_*).
    struct Node
    {
        explicit Node (LilvNode* n = nullptr) : node (n) {}
        ~Node() { lilv_node_free (node); }
        Node (const Node&) = delete;
        Node& operator= (const Node&) = delete;
        operator const LilvNode*() const { return node; }
        LilvNode* node;
    };

    struct Nodes
    {
        explicit Nodes (LilvNodes* n) : nodes (n) {}
        ~Nodes() { lilv_nodes_free (nodes); }
        Nodes (const Nodes&) = delete;
        Nodes& operator= (const Nodes&) = delete;
        LilvNodes* nodes;
    };

    std::string asString (const LilvNode* node)
    {
        if (node == nullptr)
            return {};

        if (lilv_node_is_uri (node))
            return lilv_node_as_uri (node);

        return lilv_node_as_string (node);
    }

    std::string uriString (const std::string& base, const char* name) { return base + name; }

    // URIDs as a host keeps them: one number per URI for the life of the host.
    struct UridMap
    {
        std::map<std::string, LV2_URID> ids;
        std::vector<std::string> uris;

        LV2_URID map (const char* uri)
        {
            const auto found = ids.find (uri);

            if (found != ids.end())
                return found->second;

            uris.emplace_back (uri);
            return ids[uri] = (LV2_URID) uris.size();
        }

        const char* unmap (LV2_URID urid) const
        {
            return urid >= 1 && urid <= uris.size() ? uris[urid - 1].c_str() : nullptr;
        }
    };
} // namespace

struct Host::World
{
    LilvWorld* world = lilv_world_new();
    const LilvPlugin* plugin = nullptr;
    UridMap urids;

    ~World() { lilv_world_free (world); }

    Node uri (const std::string& text) const { return Node { lilv_new_uri (world, text.c_str()) }; }

    Node get (const LilvNode* subject, const std::string& predicate) const
    {
        Node p = uri (predicate);
        return Node { lilv_world_get (world, subject, p, nullptr) };
    }
};

Host::Host (const std::string& bundlePath, const std::string& coreBundlePath, const std::string& pluginUri)
    : world (std::make_unique<World>())
{
    auto loadBundle = [this] (std::string path)
    {
        if (path.empty() || path.back() != '/')
            path += '/';

        Node bundle { lilv_new_file_uri (world->world, nullptr, path.c_str()) };
        lilv_world_load_bundle (world->world, bundle);
    };

    loadBundle (coreBundlePath);
    loadBundle (bundlePath);
    lilv_world_load_specifications (world->world);
    lilv_world_load_plugin_classes (world->world);

    Node uri = world->uri (pluginUri);
    world->plugin = lilv_plugins_get_by_uri (lilv_world_get_all_plugins (world->world), uri);

    if (world->plugin == nullptr)
        throw std::runtime_error ("no plug-in " + pluginUri + " in " + bundlePath);
}

Host::~Host() = default;

Description Host::describe() const
{
    const auto* plugin = world->plugin;
    Description result;

    {
        Node name { lilv_plugin_get_name (plugin) };
        result.name = asString (name);
    }

    const auto* pluginClass = lilv_plugin_get_class (plugin);
    result.classUri = asString (lilv_plugin_class_get_uri (pluginClass));
    result.classLabel = asString (lilv_plugin_class_get_label (pluginClass));

    {
        Node predicate = world->uri (doapDescription);
        Nodes values { lilv_plugin_get_value (plugin, predicate) };
        result.description = asString (values.nodes != nullptr ? lilv_nodes_get_first (values.nodes) : nullptr);
    }

    {
        Node email { lilv_plugin_get_author_email (plugin) };
        result.authorEmail = asString (email);
    }

    {
        Nodes features { lilv_plugin_get_required_features (plugin) };
        LILV_FOREACH (nodes, i, features.nodes)
        result.requiredFeatures.push_back (asString (lilv_nodes_get (features.nodes, i)));
    }

    // Parameters: what the plug-in lists as writable, each described by its own subject.
    const std::string rdfs = rdfsNs;
    Node writable = world->uri (LV2_PATCH__writable);
    Node scalePointPredicate = world->uri (LV2_CORE__scalePoint);
    Nodes parameters { lilv_world_find_nodes (world->world, lilv_plugin_get_uri (plugin), writable, nullptr) };

    LILV_FOREACH (nodes, i, parameters.nodes)
    {
        const auto* node = lilv_nodes_get (parameters.nodes, i);
        Parameter parameter;
        parameter.uri = asString (node);
        parameter.label = asString (world->get (node, rdfs + "label"));

        Node minimum = world->get (node, LV2_CORE__minimum);
        Node maximum = world->get (node, LV2_CORE__maximum);
        Node defaultValue = world->get (node, LV2_CORE__default);
        parameter.hasRange = minimum.node != nullptr && maximum.node != nullptr && defaultValue.node != nullptr;

        if (parameter.hasRange)
        {
            parameter.minimum = lilv_node_as_float (minimum);
            parameter.maximum = lilv_node_as_float (maximum);
            parameter.defaultValue = lilv_node_as_float (defaultValue);
        }

        Nodes points { lilv_world_find_nodes (world->world, node, scalePointPredicate, nullptr) };
        LILV_FOREACH (nodes, j, points.nodes)
        {
            const auto* point = lilv_nodes_get (points.nodes, j);
            Node value = world->get (point, uriString (rdfNs, "value"));
            parameter.scalePoints.push_back ({ asString (world->get (point, rdfs + "label")),
                                               value.node != nullptr ? lilv_node_as_float (value) : -1.0f });
        }

        std::sort (parameter.scalePoints.begin(), parameter.scalePoints.end(),
                   [] (const ScalePoint& a, const ScalePoint& b)
                   { return a.value < b.value; });
        result.parameters.push_back (std::move (parameter));
    }

    // Presets, found and read as a host does: related resources of type pset:Preset, each loaded
    // before its label and comment are read.
    Node presetClass = world->uri (LV2_PRESETS__Preset);
    Nodes presets { lilv_plugin_get_related (plugin, presetClass) };

    LILV_FOREACH (nodes, i, presets.nodes)
    {
        const auto* node = lilv_nodes_get (presets.nodes, i);
        lilv_world_load_resource (world->world, node);
        result.presets.push_back ({ asString (node),
                                    asString (world->get (node, rdfs + "label")),
                                    asString (world->get (node, rdfs + "comment")) });
    }

    std::sort (result.presets.begin(), result.presets.end(),
               [] (const Preset& a, const Preset& b)
               { return a.uri < b.uri; });
    return result;
}

//==============================================================================
namespace
{
    class RunningPlugin final : public Instance
    {
    public:
        RunningPlugin (const LilvPlugin* pluginIn, LilvWorld* worldIn, UridMap& urids, double sampleRate, int blockSizeIn)
            : plugin (pluginIn), world (worldIn), blockSize (blockSizeIn), uridMap (urids)
        {
            mapFeatureData = { &urids, [] (LV2_URID_Map_Handle handle, const char* uri)
                               { return static_cast<UridMap*> (handle)->map (uri); } };
            unmapFeatureData = { &urids, [] (LV2_URID_Unmap_Handle handle, LV2_URID urid)
                                 { return static_cast<UridMap*> (handle)->unmap (urid); } };

            maxBlockLength = blockSize;
            options[0] = { LV2_OPTIONS_INSTANCE, 0, urids.map (LV2_BUF_SIZE__maxBlockLength),
                           sizeof (int32_t), urids.map (LV2_ATOM__Int), &maxBlockLength };
            options[1] = { LV2_OPTIONS_INSTANCE, 0, urids.map (LV2_BUF_SIZE__minBlockLength),
                           sizeof (int32_t), urids.map (LV2_ATOM__Int), &minBlockLength };
            options[2] = { LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr };

            mapFeature = { LV2_URID__map, &mapFeatureData };
            unmapFeature = { LV2_URID__unmap, &unmapFeatureData };
            optionsFeature = { LV2_OPTIONS__options, options };
            boundedFeature = { LV2_BUF_SIZE__boundedBlockLength, nullptr };

            patchSet = urids.map (LV2_PATCH__Set);
            patchProperty = urids.map (LV2_PATCH__property);
            patchValue = urids.map (LV2_PATCH__value);
            atomChunk = urids.map (LV2_ATOM__Chunk);
            lv2_atom_forge_init (&forge, &mapFeatureData);

            instance = lilv_plugin_instantiate (plugin, sampleRate, features);

            if (instance == nullptr)
                throw std::runtime_error ("the plug-in refused to instantiate");

            connectPorts();
            lilv_instance_activate (instance);
        }

        ~RunningPlugin() override
        {
            lilv_instance_deactivate (instance);
            lilv_instance_free (instance);
        }

        void setParameter (const std::string& parameterUri, float value) override
        {
            pending.push_back ({ uridMap.map (parameterUri.c_str()), value });
        }

        void loadPreset (const std::string& presetUri) override
        {
            Node preset { lilv_new_uri (world, presetUri.c_str()) };
            auto* state = lilv_state_new_from_world (world, &mapFeatureData, preset);

            if (state == nullptr)
                throw std::runtime_error ("no preset " + presetUri);

            lilv_state_restore (state, instance, nullptr, nullptr, 0, features);
            lilv_state_free (state);
        }

        void process (const float* const* inputs, float* const* outputs, int numSamples) override
        {
            if (numSamples > blockSize)
                throw std::runtime_error ("block longer than the instance was made for");

            for (size_t i = 0; i < audioInputs.size() && i < 2; ++i)
            {
                std::copy (inputs[i], inputs[i] + numSamples, inputBuffers[i].begin());
                lilv_instance_connect_port (instance, audioInputs[i], inputBuffers[i].data());
            }

            for (size_t i = 0; i < audioOutputs.size() && i < 2; ++i)
                lilv_instance_connect_port (instance, audioOutputs[i], outputs[i]);

            writeEvents();

            // The output sequence's size tells the plug-in how much room it has.
            auto* out = reinterpret_cast<LV2_Atom*> (eventOutput.data());
            out->size = (uint32_t) (eventOutput.size() * sizeof (eventOutput[0]) - sizeof (LV2_Atom));
            out->type = atomChunk;

            lilv_instance_run (instance, (uint32_t) numSamples);
        }

    private:
        void connectPorts()
        {
            Node audioClass { lilv_new_uri (world, LV2_CORE__AudioPort) };
            Node controlClass { lilv_new_uri (world, LV2_CORE__ControlPort) };
            Node atomClass { lilv_new_uri (world, LV2_ATOM__AtomPort) };
            Node inputClass { lilv_new_uri (world, LV2_CORE__InputPort) };

            const auto numPorts = lilv_plugin_get_num_ports (plugin);
            controlValues.resize (numPorts, 0.0f);
            std::vector<float> defaults (numPorts, 0.0f);
            lilv_plugin_get_port_ranges_float (plugin, nullptr, nullptr, defaults.data());

            for (uint32_t index = 0; index < numPorts; ++index)
            {
                const auto* port = lilv_plugin_get_port_by_index (plugin, index);
                const bool isInput = lilv_port_is_a (plugin, port, inputClass);

                if (lilv_port_is_a (plugin, port, audioClass))
                {
                    (isInput ? audioInputs : audioOutputs).push_back (index);
                }
                else if (lilv_port_is_a (plugin, port, controlClass))
                {
                    // Control ports (enabled, free-wheeling, latency) stay at their defaults.
                    controlValues[index] = defaults[index] == defaults[index] ? defaults[index] : 0.0f;
                    lilv_instance_connect_port (instance, index, &controlValues[index]);
                }
                else if (lilv_port_is_a (plugin, port, atomClass))
                {
                    lilv_instance_connect_port (instance, index, isInput ? eventInput.data() : eventOutput.data());
                }
                else
                {
                    throw std::runtime_error ("a port of a kind this host does not know");
                }
            }

            for (auto& buffer : inputBuffers)
                buffer.assign ((size_t) blockSize, 0.0f);

            if (audioInputs.size() != 2 || audioOutputs.size() != 2)
                throw std::runtime_error ("expected two audio inputs and two audio outputs");
        }

        // The control input gets a sequence holding one patch:Set per queued change, all at frame 0.
        void writeEvents()
        {
            lv2_atom_forge_set_buffer (&forge, reinterpret_cast<uint8_t*> (eventInput.data()),
                                       eventInput.size() * sizeof (eventInput[0]));
            LV2_Atom_Forge_Frame sequence;
            lv2_atom_forge_sequence_head (&forge, &sequence, 0);

            for (const auto& change : pending)
            {
                LV2_Atom_Forge_Frame object;
                lv2_atom_forge_frame_time (&forge, 0);
                lv2_atom_forge_object (&forge, &object, 0, patchSet);
                lv2_atom_forge_key (&forge, patchProperty);
                lv2_atom_forge_urid (&forge, change.property);
                lv2_atom_forge_key (&forge, patchValue);
                lv2_atom_forge_float (&forge, change.value);
                lv2_atom_forge_pop (&forge, &object);
            }

            lv2_atom_forge_pop (&forge, &sequence);
            pending.clear();
        }

        struct Change
        {
            LV2_URID property;
            float value;
        };

        const LilvPlugin* plugin;
        LilvWorld* world;
        const int blockSize;
        UridMap& uridMap;
        ::LilvInstance* instance = nullptr;

        LV2_URID_Map mapFeatureData {};
        LV2_URID_Unmap unmapFeatureData {};
        int32_t maxBlockLength = 0, minBlockLength = 1;
        LV2_Options_Option options[3] {};
        LV2_Feature mapFeature {}, unmapFeature {}, optionsFeature {}, boundedFeature {};
        const LV2_Feature* features[5] { &mapFeature, &unmapFeature, &optionsFeature, &boundedFeature, nullptr };

        LV2_URID patchSet = 0, patchProperty = 0, patchValue = 0, atomChunk = 0;
        LV2_Atom_Forge forge {};
        std::vector<Change> pending;

        // 64-bit elements keep the atom buffers aligned as LV2 requires.
        std::vector<uint64_t> eventInput = std::vector<uint64_t> (2048), eventOutput = std::vector<uint64_t> (4096);
        std::vector<float> controlValues;
        std::vector<uint32_t> audioInputs, audioOutputs;
        std::vector<float> inputBuffers[2];
    };
} // namespace

std::unique_ptr<Instance> Host::instantiate (double sampleRate, int blockSize) const
{
    return std::make_unique<RunningPlugin> (world->plugin, world->world, world->urids, sampleRate, blockSize);
}
} // namespace lv2host
