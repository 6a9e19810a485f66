// A Windows test host for the plug-in's VST3 bundle, run under Wine on the build machines.
//
// It loads the bundle the way a Windows DAW does (the DLL's factory directly, then the
// framework's VST3 hosting) and checks what such a host sees: the factory's classes, the
// parameters, the programs, audio, saved state and the editor in a Win32 window. It also renders
// all sixteen recipes to a file that the Linux side compares with its own build's output.
//
// usage: morsello_windows_host <bundle> <output folder> [check ...]
// checks: factory parameters programs audio state editor render (all when none is named).
// Prints one line per failed expectation and a closing "N passed, N failed"; exits 1 on failure.

#include "../host/ExpectedHostView.h"
#include "RecipeRenders.h"

#include <juce_gui_basics/juce_gui_basics.h>

#ifndef NOMINMAX
    #define NOMINMAX
#endif
#include <windows.h>

#include <pluginterfaces/base/ipluginbase.h>

#include <cmath>
#include <iostream>
#include <map>

namespace
{
using morsello_host::blockSize;
using morsello_host::sampleRate;

struct Results
{
    int passed = 0, failed = 0;

    bool expect (bool condition, const juce::String& what)
    {
        if (condition)
            ++passed;
        else
        {
            ++failed;
            std::cout << "  FAILED: " << what << std::endl;
        }
        return condition;
    }

    template <typename A, typename B>
    bool expectEqual (const A& actual, const B& expected, const juce::String& what)
    {
        return expect (actual == expected, what + ": got \"" + juce::String (actual) + "\", expected \"" + juce::String (expected) + "\"");
    }
};

struct Context
{
    juce::File bundle;
    juce::File outputFolder;
    Results& results;

    // The framework's hosting on Windows opens the DLL inside the bundle, as its scanner finds it.
    juce::File dll() const { return bundle.getChildFile ("Contents/x86_64-win/The Morsello.vst3"); }

    std::unique_ptr<juce::AudioPluginInstance> load()
    {
        juce::String error;
        auto instance = morsello_host::loadPlugin (dll().getFullPathName(), error);
        results.expect (instance != nullptr, "the plug-in loads: " + error);
        return instance;
    }
};

//==============================================================================
// The DLL as every VST3 host on Windows opens it: its exports, then its factory's classes.
void checkFactory (Context& context)
{
    auto& results = context.results;
    const auto dllPath = context.dll();
    results.expect (dllPath.existsAsFile(), "the DLL is at " + dllPath.getFullPathName());

    auto* module = LoadLibraryW (dllPath.getFullPathName().toWideCharPointer());
    if (! results.expect (module != nullptr, "LoadLibrary opens the DLL"))
        return;

    using InitFunction = bool (*)();
    auto initDll = reinterpret_cast<InitFunction> (reinterpret_cast<void*> (GetProcAddress (module, "InitDll")));
    auto exitDll = reinterpret_cast<InitFunction> (reinterpret_cast<void*> (GetProcAddress (module, "ExitDll")));
    using FactoryFunction = Steinberg::IPluginFactory*(PLUGIN_API*) ();
    auto getFactory = reinterpret_cast<FactoryFunction> (reinterpret_cast<void*> (GetProcAddress (module, "GetPluginFactory")));

    results.expect (initDll != nullptr, "the DLL exports InitDll");
    results.expect (exitDll != nullptr, "the DLL exports ExitDll");
    if (! results.expect (getFactory != nullptr, "the DLL exports GetPluginFactory") || initDll == nullptr || exitDll == nullptr)
    {
        FreeLibrary (module);
        return;
    }

    results.expect (initDll(), "InitDll succeeds");

    if (auto* factory = getFactory())
    {
        Steinberg::PFactoryInfo factoryInfo;
        results.expect (factory->getFactoryInfo (&factoryInfo) == Steinberg::kResultOk, "the factory describes itself");
        results.expectEqual (juce::String (factoryInfo.vendor), juce::String ("Morsello Kitchen"), "factory vendor");

        Steinberg::IPluginFactory2* factory2 = nullptr;
        factory->queryInterface (Steinberg::IPluginFactory2_iid, reinterpret_cast<void**> (&factory2));
        results.expect (factory2 != nullptr, "the factory offers class details (IPluginFactory2)");

        std::map<juce::String, int> classesByCategory;
        for (Steinberg::int32 i = 0; i < factory->countClasses(); ++i)
        {
            Steinberg::PClassInfo info;
            if (factory->getClassInfo (i, &info) != Steinberg::kResultOk)
                continue;

            const juce::String category (info.category);
            ++classesByCategory[category];
            results.expectEqual (juce::String (info.name), juce::String ("The Morsello"), category + " class name");

            if (factory2 != nullptr && category == "Audio Module Class")
            {
                Steinberg::PClassInfo2 details;
                results.expect (factory2->getClassInfo2 (i, &details) == Steinberg::kResultOk, "details of the audio module class");
                results.expectEqual (juce::String (details.subCategories), juce::String ("Fx"), "audio module sub-categories");
                results.expectEqual (juce::String (details.version), juce::String (MORSELLO_VERSION), "audio module version");
                results.expectEqual (juce::String (details.vendor), juce::String ("Morsello Kitchen"), "audio module vendor");
            }
        }

        results.expectEqual (classesByCategory["Audio Module Class"], 1, "audio module classes");
        results.expectEqual (classesByCategory["Component Controller Class"], 1, "controller classes");

        if (factory2 != nullptr)
            factory2->release();
        factory->release();
    }
    else
    {
        results.expect (false, "GetPluginFactory returns a factory");
    }

    results.expect (exitDll(), "ExitDll succeeds");
    FreeLibrary (module);

    // A scan of the folder holding the bundle, as a host scans its VST3 folder, finds the DLL;
    // what the scanner reads from it is what a host's plug-in list shows.
    juce::VST3PluginFormat format;
    const auto found = format.searchPathsForPlugins (juce::FileSearchPath (context.bundle.getParentDirectory().getFullPathName()), true, false);
    results.expect (found == juce::StringArray (dllPath.getFullPathName()), "a scan finds the DLL in the bundle: " + found.joinIntoString (", "));

    juce::OwnedArray<juce::PluginDescription> types;
    format.findAllTypesForFile (types, dllPath.getFullPathName());
    if (results.expectEqual (types.size(), 1, "plug-ins found in the bundle"))
    {
        const auto& description = *types[0];
        results.expectEqual (description.name, juce::String ("The Morsello"), "scanned name");
        results.expectEqual (description.manufacturerName, juce::String ("Morsello Kitchen"), "scanned vendor");
        results.expectEqual (description.version, juce::String (MORSELLO_VERSION), "scanned version");
        results.expect (description.category.contains ("Fx"), "scanned category contains Fx: " + description.category);
        results.expect (! description.isInstrument, "not listed as an instrument");
        results.expectEqual (description.numInputChannels, 2, "input channels");
        results.expectEqual (description.numOutputChannels, 2, "output channels");
    }
}

//==============================================================================

void checkParameters (Context& context)
{
    auto& results = context.results;
    const auto instance = context.load();
    if (instance == nullptr)
        return;

    const auto& parameters = instance->getParameters();
    if (! results.expectEqual (parameters.size(), 18, "parameters (sixteen, bypass and program)"))
        return;

    for (int i = 0; i < 16; ++i)
    {
        const auto& expected = expectedParameters[i];
        auto* parameter = parameters[i];
        const juce::String where = "parameter " + juce::String (i) + " ";

        results.expectEqual (parameter->getName (100), juce::String (expected.name), where + "name");
        results.expectEqual (parameter->getLabel(), juce::String (expected.unit), where + "unit");
        results.expect (std::abs (parameter->getDefaultValue() - expected.defaultValue) < 1.0e-6f,
                        where + "default " + juce::String (parameter->getDefaultValue()));
        results.expect (parameter->isAutomatable(), where + "is automatable");
        results.expectEqual (parameter->getNumSteps(),
                             expected.numSteps > 0 ? expected.numSteps : juce::AudioProcessor::getDefaultNumParameterSteps(),
                             where + "steps");
    }

    auto* bypass = instance->getBypassParameter();
    if (results.expect (bypass != nullptr, "the wrapper's bypass parameter is there"))
        results.expect (parameters.indexOf (bypass) >= 16, "bypass comes after the sixteen");

    const auto programIndex = parameters[16] == bypass ? 17 : 16;
    results.expectEqual (parameters[programIndex]->getName (100), juce::String ("Program"), "program parameter name");
    results.expectEqual (parameters[programIndex]->getNumSteps(), 16, "program parameter steps");
}

void checkPrograms (Context& context)
{
    auto& results = context.results;
    const auto instance = context.load();
    if (instance == nullptr)
        return;

    if (! results.expectEqual (instance->getNumPrograms(), 16, "programs"))
        return;

    for (int i = 0; i < 16; ++i)
        results.expectEqual (instance->getProgramName (i), juce::String (expectedProgramNames[i]), "program " + juce::String (i) + " name");

    results.expectEqual (instance->getCurrentProgram(), 0, "program at start");
    instance->prepareToPlay (sampleRate, blockSize);
    instance->setCurrentProgram (11);
    morsello_host::settle (*instance);
    results.expectEqual (instance->getCurrentProgram(), 11, "program after choosing \"chef's mistake\"");
    instance->releaseResources();
}

//==============================================================================
float largestDifference (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b)
{
    float largest = 0.0f;
    for (int channel = 0; channel < a.getNumChannels(); ++channel)
        for (int i = 0; i < a.getNumSamples(); ++i)
            largest = std::max (largest, std::abs (a.getSample (channel, i) - b.getSample (channel, i)));
    return largest;
}

bool allFinite (const juce::AudioBuffer<float>& buffer)
{
    for (int channel = 0; channel < buffer.getNumChannels(); ++channel)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            if (! std::isfinite (buffer.getSample (channel, i)))
                return false;
    return true;
}

void checkAudio (Context& context)
{
    auto& results = context.results;
    const auto instance = context.load();
    if (instance == nullptr)
        return;

    const auto input = morsello_host::makeTestSignal();

    // The buses a host activates before processing: one stereo input, one stereo output.
    results.expectEqual (instance->getBusCount (true), 1, "input buses");
    results.expectEqual (instance->getBusCount (false), 1, "output buses");
    results.expect (instance->getBus (true, 0)->isEnabled() && instance->getBus (false, 0)->isEnabled(), "main buses enabled");

    // Bite at zero: the dry input, unchanged.
    instance->prepareToPlay (sampleRate, blockSize);
    instance->getParameters()[14]->setValueNotifyingHost (0.0f);
    morsello_host::settle (*instance);
    const auto dry = morsello_host::process (*instance, input);
    results.expect (largestDifference (dry, input) < 1.0e-6f, "bite 0 passes the input through, difference " + juce::String (largestDifference (dry, input)));
    instance->releaseResources();

    // A recipe changes the signal, audibly and without blowing up.
    const auto toasted = morsello_host::renderRecipe (*instance, 1, input);
    results.expect (allFinite (toasted), "\"toasted cloud\" output is finite");
    results.expect (largestDifference (toasted, input) > 0.01f, "\"toasted cloud\" changes the signal, difference " + juce::String (largestDifference (toasted, input)));
    results.expect (toasted.getMagnitude (0, toasted.getNumSamples()) > 0.01f, "\"toasted cloud\" output is not silent");
    results.expect (toasted.getMagnitude (0, toasted.getNumSamples()) < 0.9f, "output stays below the limiter's ceiling");
}

void checkState (Context& context)
{
    auto& results = context.results;
    const auto source = context.load();
    const auto copy = context.load();
    if (source == nullptr || copy == nullptr)
        return;

    source->prepareToPlay (sampleRate, blockSize);
    // "jam tomorrow": chorus bread, delay filling. Not a lo-fi filling: its noise generator runs
    // on across restarts, so two instances with different histories would differ by design.
    source->setCurrentProgram (3);
    morsello_host::settle (*source);
    auto& parameters = source->getParameters();
    parameters[0]->setValueNotifyingHost (11.0f / 12.0f); // resonator bread
    parameters[4]->setValueNotifyingHost (0.123f);        // left2
    parameters[15]->setValueNotifyingHost (0.25f);        // output -12 dB
    morsello_host::settle (*source);

    juce::MemoryBlock state;
    source->getStateInformation (state);
    results.expect (state.getSize() > 0, "the plug-in saves a state");

    copy->prepareToPlay (sampleRate, blockSize);
    copy->setStateInformation (state.getData(), (int) state.getSize());
    morsello_host::settle (*copy);

    for (int i = 0; i < 16; ++i)
        results.expect (std::abs (copy->getParameters()[i]->getValue() - parameters[i]->getValue()) < 1.0e-6f,
                        "restored parameter " + juce::String (i) + ": " + juce::String (copy->getParameters()[i]->getValue())
                            + " against " + juce::String (parameters[i]->getValue()));

    // Both instances started afresh and fed the same signal give the same samples.
    const auto input = morsello_host::makeTestSignal();
    morsello_host::restart (*source);
    morsello_host::restart (*copy);
    const auto fromSource = morsello_host::process (*source, input);
    const auto fromCopy = morsello_host::process (*copy, input);
    results.expect (largestDifference (fromSource, input) > 0.01f, "the saved settings change the signal");
    results.expect (largestDifference (fromSource, fromCopy) == 0.0f,
                    "restored instance is sample-identical, largest difference " + juce::String (largestDifference (fromSource, fromCopy)));
}

//==============================================================================
// The pixels of a window as the screen shows them, read through its device context.
juce::Image captureWindow (HWND window, int width, int height)
{
    juce::Image image (juce::Image::ARGB, width, height, true);
    auto* windowContext = GetDC (window);
    auto* memoryContext = CreateCompatibleDC (windowContext);

    BITMAPINFO info {};
    info.bmiHeader.biSize = sizeof (BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;

    void* bits = nullptr;
    auto* bitmap = CreateDIBSection (memoryContext, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    auto* previous = SelectObject (memoryContext, bitmap);
    BitBlt (memoryContext, 0, 0, width, height, windowContext, 0, 0, SRCCOPY);
    GdiFlush();

    {
        juce::Image::BitmapData pixels (image, juce::Image::BitmapData::writeOnly);
        const auto* source = static_cast<const std::uint32_t*> (bits);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                pixels.setPixelColour (x, y, juce::Colour (source[y * width + x] | 0xff000000u));
    }

    SelectObject (memoryContext, previous);
    DeleteObject (bitmap);
    DeleteDC (memoryContext);
    ReleaseDC (window, windowContext);
    return image;
}

void checkEditor (Context& context)
{
    auto& results = context.results;
    const auto instance = context.load();
    if (instance == nullptr || ! results.expect (instance->hasEditor(), "the plug-in has an editor"))
        return;

    std::unique_ptr<juce::AudioProcessorEditor> editor (instance->createEditorIfNeeded());
    if (! results.expect (editor != nullptr, "the editor opens"))
        return;

    editor->setTopLeftPosition (40, 40);
    editor->addToDesktop (juce::ComponentPeer::windowAppearsOnTaskbar);
    editor->setVisible (true);
    editor->toFront (false);
    juce::MessageManager::getInstance()->runDispatchLoopUntil (1500);

    results.expectEqual (editor->getWidth(), 1254, "editor width");
    results.expectEqual (editor->getHeight(), 706, "editor height");

    auto* peer = editor->getPeer();
    if (! results.expect (peer != nullptr, "the editor is on the desktop"))
        return;

    auto window = static_cast<HWND> (peer->getNativeHandle());
    results.expect (IsWindow (window) && IsWindowVisible (window), "the host window is a visible Win32 window");

    RECT client {};
    GetClientRect (window, &client);
    results.expectEqual ((int) (client.right - client.left), 1254, "host window client width");
    results.expectEqual ((int) (client.bottom - client.top), 706, "host window client height");

    // The plug-in's own view is a child window that the plug-in created inside the host's.
    auto pluginView = GetWindow (window, GW_CHILD);
    if (results.expect (pluginView != nullptr, "the plug-in's view is a child window"))
    {
        RECT viewRect {};
        GetClientRect (pluginView, &viewRect);
        results.expectEqual ((int) (viewRect.right - viewRect.left), 1254, "plug-in view width");
        results.expectEqual ((int) (viewRect.bottom - viewRect.top), 706, "plug-in view height");
    }

    const auto screenshot = captureWindow (window, 1254, 706);
    std::map<juce::uint32, int> colours;
    for (int y = 0; y < screenshot.getHeight(); y += 3)
        for (int x = 0; x < screenshot.getWidth(); x += 3)
            ++colours[screenshot.getPixelAt (x, y).getARGB()];
    results.expect (colours.size() > 100, "the window shows a drawn editor (" + juce::String ((int) colours.size()) + " colours sampled)");

    const auto file = context.outputFolder.getChildFile ("windows-editor.png");
    file.deleteFile();
    juce::FileOutputStream stream (file);
    results.expect (stream.openedOk() && juce::PNGImageFormat().writeImageToStream (screenshot, stream), "screenshot written");
    std::cout << "  screenshot: " << file.getFullPathName() << std::endl;

    editor->removeFromDesktop();
    editor.reset();
    juce::MessageManager::getInstance()->runDispatchLoopUntil (50);
}

//==============================================================================
void renderRecipes (Context& context)
{
    auto& results = context.results;
    morsello_host::Renders renders;
    renders.input = morsello_host::makeTestSignal();

    for (int recipe = 0; recipe < morsello_host::numRecipes; ++recipe)
    {
        const auto instance = context.load();
        if (instance == nullptr)
            return;

        renders.outputs.push_back (morsello_host::renderRecipe (*instance, recipe, renders.input));
        results.expect (allFinite (renders.outputs.back()), "recipe " + juce::String (recipe) + " output is finite");
    }

    // Each recipe sounds different from every other: the program change reached the processor.
    for (int a = 0; a < morsello_host::numRecipes; ++a)
        for (int b = a + 1; b < morsello_host::numRecipes; ++b)
            results.expect (largestDifference (renders.outputs[(size_t) a], renders.outputs[(size_t) b]) > 0.01f,
                            "recipes " + juce::String (a) + " and " + juce::String (b) + " sound different");

    const auto file = context.outputFolder.getChildFile ("windows-renders.bin");
    results.expect (morsello_host::writeRenders (file, renders), "renders written to " + file.getFullPathName());
}
} // namespace

int main (int argc, char* argv[])
{
    if (argc < 3)
    {
        std::cerr << "usage: morsello_windows_host <bundle> <output folder> [check ...]" << std::endl;
        return 2;
    }

    juce::ScopedJuceInitialiser_GUI framework;
    Results results;
    Context context { juce::File (juce::String (argv[1])), juce::File (juce::String (argv[2])), results };
    context.outputFolder.createDirectory();

    const std::vector<std::pair<const char*, void (*) (Context&)>> checks {
        { "factory", checkFactory },
        { "parameters", checkParameters },
        { "programs", checkPrograms },
        { "audio", checkAudio },
        { "state", checkState },
        { "editor", checkEditor },
        { "render", renderRecipes },
    };

    juce::StringArray wanted;
    for (int i = 3; i < argc; ++i)
        wanted.add (argv[i]);

    for (const auto& [name, check] : checks)
    {
        if (! wanted.isEmpty() && ! wanted.contains (name))
            continue;

        const auto failedBefore = results.failed;
        check (context);
        std::cout << (results.failed == failedBefore ? "ok      " : "FAILED  ") << name << std::endl;
    }

    std::cout << results.passed << " passed, " << results.failed << " failed" << std::endl;
    return results.failed == 0 && results.passed > 0 ? 0 : 1;
}
