#pragma once

#include "dsp/EngineSettings.h"
#include "editor/AccessibleControls.h"
#include "editor/MeterDisplay.h"
#include "editor/QualityMenu.h"
#include "look/MorselloLookAndFeel.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <array>
#include <memory>
#include <utility>
#include <vector>

namespace morsello
{
class MorselloAudioProcessor;

// The plug-in window: a picture-based front panel whose controls are all bound to the
// processor's parameters through the framework's attachments, so the editor itself keeps no
// parameter state. Everything here runs on the message thread.
class MorselloAudioProcessorEditor final : public juce::AudioProcessorEditor,
                                           private juce::Timer
{
public:
    explicit MorselloAudioProcessorEditor (MorselloAudioProcessor&);
    ~MorselloAudioProcessorEditor() override;

    void paint (juce::Graphics&) override;
    void resized() override;

    // What each tick of the 33 ms timer does: meters, bread-mode buttons, bread 2's knobs, and
    // a repaint of each meter whose picture changed (nothing else: the controls repaint
    // themselves when they change). A test or an offscreen renderer calls it to advance the
    // display without waiting.
    void refresh();

    // Stops the timer's ticks, so that refresh() alone advances the display.
    void stopAutomaticRefresh() { stopTimer(); }

    // The factory recipe last chosen or stepped to in this editor.
    int getSelectedRecipe() const noexcept { return selectedRecipe; }

    // What the meters show.
    const MeterDisplayState& getMeterState() const noexcept { return meterState; }

    // What a screen reader finds in the window (every control and both meters) and where the Tab
    // key goes (the controls that are enabled), both in reading order.
    std::unique_ptr<juce::ComponentTraverser> createFocusTraverser() override;
    std::unique_ptr<juce::ComponentTraverser> createKeyboardFocusTraverser() override;

    // The design grid in which layout and painting are given; the window scales it.
    static constexpr int designWidth = 1672;
    static constexpr int designHeight = 941;

private:
    void timerCallback() override;

    using ComboBoxAttachment = juce::AudioProcessorValueTreeState::ComboBoxAttachment;
    using SliderAttachment = juce::AudioProcessorValueTreeState::SliderAttachment;

    // The constructor's steps, each building one part of the window, in this order.
    void loadPictures();
    void setUpWindow();
    void setUpKindMenus();
    void setUpBreadKnobs();
    void setUpFillingKnobs();
    void setUpFinishingKnobs();
    void setUpModeButtons();
    void setUpRecipeControls();
    void setUpAccessibility();

    static juce::AudioParameterChoice& choiceParameter (MorselloAudioProcessor&, ParameterIndex);

    // Binds a knob to the parameter at `parameterIndex` of the parameter table; the knob's
    // component ID is the parameter's ID.
    void attach (ParameterKnob& knob, ParameterIndex, std::unique_ptr<SliderAttachment>& attachment);

    void setupKnob (ParameterKnob& slider, juce::Label& caption, const juce::String& text);
    void setBreadMode (int modeIndex);
    void stepRecipe (int step);
    void showRecipe (int index);
    void updateCaptions();

    // Window pixels per design-grid unit, horizontally and vertically.
    std::pair<float, float> designScale() const noexcept;

    // Everything the window shows that changes only with its size: background, logo, texts,
    // divider and the meters' scales. Drawn into staticLayer, never straight to the screen.
    void paintStaticParts (juce::Graphics&) const;
    void drawPanelText (juce::Graphics&, const juce::String& text, float x, float y, float w, float h,
                        float fontSize, juce::Colour colour) const;

    // The meters, drawn over the static layer on every paint that reaches them.
    struct MeterPlace
    {
        float x; // design-grid left edge; both meters share their top, width and height
        int firstChannel;
        const char* name;
    };
    static constexpr std::array<MeterPlace, 2> meterPlaces { { { 62.0f, 0, "in" }, { 1328.0f, 2, "out" } } };
    juce::Rectangle<float> meterArea (const MeterPlace&) const noexcept;
    juce::Rectangle<int> meterRepaintArea (const MeterPlace&) const noexcept;
    void drawMeter (juce::Graphics&, juce::Rectangle<float> area, int firstChannel, const juce::String& name) const;

    // Declaration order is construction order; destruction runs backwards, so the file chooser
    // and the attachments go before the controls they refer to, and the controls before the
    // look and feel they draw with.
    MorselloAudioProcessor& processor;
    juce::AudioParameterChoice& breadModeParameter; // read on every tick
    QualityMenu qualityMenu { *this, processor };   // a right click on the background
    MorselloLookAndFeel editorLookAndFeel;
    juce::Image backgroundImage, logoImage;

    // The controls and meters in reading order, for screen readers and the Tab key. Made before
    // the controls and gone after them, so that the window can read it while they are destroyed
    // (it then finds only those still there).
    std::vector<juce::Component*> readingOrder;

    PanelMenu bread1Box, bread2Box, fillingBox;
    std::array<ParameterKnob, 3> leftKnobs, rightKnobs;
    std::array<ParameterKnob, 4> fillKnobs;
    ParameterKnob toastKnob, biteKnob, outputSlider;
    std::array<juce::Label, 3> leftCaptions, rightCaptions;
    std::array<juce::Label, 4> fillCaptions;
    juce::Label toastCaption, biteCaption, outputCaption;
    PanelMenu recipeBox;
    PanelButton linkButton { "link" }, mirrorButton { "mirror" }, freeButton { "free" },
        diceButton { juce::String::fromUTF8 ("\xe2\x9a\x84  chef's choice") },
        previousButton { juce::String::fromUTF8 ("\xe2\x80\xb9") },
        nextButton { juce::String::fromUTF8 ("\xe2\x80\xba") },
        saveButton { "save" }, loadButton { "load" };

    std::unique_ptr<ComboBoxAttachment> bread1Attachment, bread2Attachment, fillingAttachment;
    std::array<std::unique_ptr<SliderAttachment>, 3> leftAttachments, rightAttachments;
    std::array<std::unique_ptr<SliderAttachment>, 4> fillAttachments;
    std::unique_ptr<SliderAttachment> toastAttachment, biteAttachment, outputAttachment;

    std::unique_ptr<juce::FileChooser> fileChooser;
    int selectedRecipe = 0; // factory recipe last chosen or stepped to in this editor
    MeterDisplayState meterState;
    std::array<MeterPicture, meterPlaces.size()> shownMeters; // what the meters were last drawn with
    // The meters as screen readers find them: invisible, over the meters, reading meterState.
    LevelReadout inputLevel { meterState, meterPlaces[0].firstChannel };
    LevelReadout outputLevel { meterState, meterPlaces[1].firstChannel };

    // The static parts at the current size, in physical pixels at staticLayerScale (the
    // display's pixels per window unit); remade when either changes. Redrawing the scaled
    // background picture on every tick was most of the open window's cost.
    juce::Image staticLayer;
    float staticLayerScale = 0.0f;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MorselloAudioProcessorEditor)
};
} // namespace morsello
