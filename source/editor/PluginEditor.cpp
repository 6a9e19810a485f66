#include "editor/PluginEditor.h"

#include "editor/KnobCaptions.h"
#include "look/Palette.h"
#include "processor/PluginProcessor.h"
#include "recipes/ChefsChoice.h"
#include "processor/programs/FactoryRecipes.h"
#include "editor/RecipeDialogs.h"

#if __has_include("MorselloPictures.h")
    #include "MorselloPictures.h"
    #define MORSELLO_HAS_PICTURES 1
#else
    #define MORSELLO_HAS_PICTURES 0
#endif

#include <cmath>

namespace morsello
{
namespace
{
constexpr int timerIntervalMs = 33;
} // namespace

// The processor's editor is made here, beside the editor, so that the processor's own files
// never include the editor.
juce::AudioProcessorEditor* MorselloAudioProcessor::createEditor()
{
    return new MorselloAudioProcessorEditor (*this);
}

MorselloAudioProcessorEditor::MorselloAudioProcessorEditor (MorselloAudioProcessor& owner)
    : juce::AudioProcessorEditor (owner),
      processor (owner),
      breadModeParameter (choiceParameter (owner, ParameterIndex::breadMode))
{
    loadPictures();
    setUpWindow();
    setUpKindMenus();
    setUpBreadKnobs();
    setUpFillingKnobs();
    setUpFinishingKnobs();
    setUpModeButtons();
    setUpRecipeControls();
    setUpAccessibility();

    updateCaptions();
    resized();
    startTimer (timerIntervalMs);
}

juce::AudioParameterChoice& MorselloAudioProcessorEditor::choiceParameter (MorselloAudioProcessor& owner, ParameterIndex index)
{
    // The parameter layout makes every kind and mode parameter a choice; anything else is a
    // programming error that no user could cause.
    auto* parameter = dynamic_cast<juce::AudioParameterChoice*> (owner.getParameterTree().getParameter (parameterId (index)));
    jassert (parameter != nullptr);
    return *parameter;
}

void MorselloAudioProcessorEditor::attach (ParameterKnob& knob, ParameterIndex index, std::unique_ptr<SliderAttachment>& attachment)
{
    const juce::String id { parameterId (index) };
    knob.setComponentID (id);

    if (auto* parameter = processor.getParameterTree().getParameter (id))
        knob.setParameter (*parameter);

    attachment = std::make_unique<SliderAttachment> (processor.getParameterTree(), id, knob);
}

void MorselloAudioProcessorEditor::loadPictures()
{
#if MORSELLO_HAS_PICTURES
    // Decoded once here, never while painting; the image cache hands a second editor the
    // pictures decoded for the first.
    backgroundImage = juce::ImageCache::getFromMemory (MorselloPictures::morsellobackground_png,
                                                       MorselloPictures::morsellobackground_pngSize);
    logoImage = juce::ImageCache::getFromMemory (MorselloPictures::logo_png, MorselloPictures::logo_pngSize);
#endif
}

void MorselloAudioProcessorEditor::setUpWindow()
{
    setLookAndFeel (&editorLookAndFeel);

    // The start size is set as it is; only later resizing keeps the fixed ratio.
    setResizable (true, true);
    setResizeLimits (1170, 658, designWidth, designHeight);
    getConstrainer()->setFixedAspectRatio ((double) designWidth / (double) designHeight);
    setSize (1254, 706);
}

void MorselloAudioProcessorEditor::setUpKindMenus()
{
    // Kind menus. Both bread menus show the one breadType, so choosing in either moves the other.
    bread1Box.addItemList (kBreadTypeNames, 1);
    bread2Box.addItemList (kBreadTypeNames, 1);
    fillingBox.addItemList (kFillingTypeNames, 1);
    // The look and feel draws the boxes whose IDs end in "Display" as displays, the filling's in
    // amber. Both bread menus are the one bread display, shown on each slice.
    bread1Box.setComponentID ("breadDisplay");
    bread2Box.setComponentID ("breadDisplay");
    fillingBox.setComponentID ("fillingDisplay");

    for (auto* box : { &bread2Box, &bread1Box, &fillingBox })
    {
        box->setJustificationType (juce::Justification::centred);
        addAndMakeVisible (*box);
    }

    auto& parameters = processor.getParameterTree();
    bread1Attachment = std::make_unique<ComboBoxAttachment> (parameters, parameterId (ParameterIndex::breadType), bread1Box);
    bread2Attachment = std::make_unique<ComboBoxAttachment> (parameters, parameterId (ParameterIndex::breadType), bread2Box);
    fillingAttachment = std::make_unique<ComboBoxAttachment> (parameters, parameterId (ParameterIndex::fillingType), fillingBox);

    // Only bread 1's menu drives the captions: bread 2's changes reach it through breadType.
    bread1Box.onChange = [this]
    { updateCaptions(); };
    fillingBox.onChange = [this]
    { updateCaptions(); };
}

void MorselloAudioProcessorEditor::setUpBreadKnobs()
{
    // Bread knobs sit on the pale slices: dark text on a cream box.
    for (size_t i = 0; i < leftKnobs.size(); ++i)
    {
        setupKnob (leftKnobs[i], leftCaptions[i], {});
        setupKnob (rightKnobs[i], rightCaptions[i], {});

        for (auto* knob : { &leftKnobs[i], &rightKnobs[i] })
        {
            knob->setColour (juce::Slider::textBoxTextColourId, juce::Colours::black);
            knob->setColour (juce::Slider::textBoxBackgroundColourId, Palette::cream.withAlpha (0.85f));
            knob->setColour (juce::Slider::textBoxOutlineColourId, Palette::brown.withAlpha (0.35f));
        }

        attach (leftKnobs[i], ParameterIndex::left1 + (int) i, leftAttachments[i]);
        attach (rightKnobs[i], ParameterIndex::right1 + (int) i, rightAttachments[i]);
        leftCaptions[i].setComponentID (leftKnobs[i].getComponentID() + "Caption");
        rightCaptions[i].setComponentID (rightKnobs[i].getComponentID() + "Caption");
    }
}

void MorselloAudioProcessorEditor::setUpFillingKnobs()
{
    // Filling knobs sit on the amber panel; the rust fill colour selects their dark style.
    for (size_t i = 0; i < fillKnobs.size(); ++i)
    {
        auto& knob = fillKnobs[i];
        knob.setColour (juce::Slider::rotarySliderFillColourId, Palette::rust);
        setupKnob (knob, fillCaptions[i], {});
        knob.setColour (juce::Slider::textBoxTextColourId, juce::Colours::white);
        knob.setColour (juce::Slider::textBoxBackgroundColourId, Palette::charcoal.withAlpha (0.8f));
        fillCaptions[i].setColour (juce::Label::textColourId, Palette::cream);
        attach (knob, ParameterIndex::fill1 + (int) i, fillAttachments[i]);
        fillCaptions[i].setComponentID (knob.getComponentID() + "Caption");
    }
}

void MorselloAudioProcessorEditor::setUpFinishingKnobs()
{
    // Toast takes the filling style, bite keeps the bread style.
    toastKnob.setColour (juce::Slider::rotarySliderFillColourId, Palette::rust);
    setupKnob (toastKnob, toastCaption, "toast");
    setupKnob (biteKnob, biteCaption, "bite");
    setupKnob (outputSlider, outputCaption, "output");

    for (auto* caption : { &toastCaption, &biteCaption, &outputCaption })
        caption->setColour (juce::Label::textColourId, Palette::cream);

    attach (toastKnob, ParameterIndex::toast, toastAttachment);
    attach (biteKnob, ParameterIndex::bite, biteAttachment);
    attach (outputSlider, ParameterIndex::output, outputAttachment);
    toastCaption.setComponentID (toastKnob.getComponentID() + "Caption");
    biteCaption.setComponentID (biteKnob.getComponentID() + "Caption");
    outputCaption.setComponentID (outputSlider.getComponentID() + "Caption");

    outputSlider.setDoubleClickReturnValue (true, 0.0);
    outputSlider.setTextValueSuffix (" dB");
}

void MorselloAudioProcessorEditor::setUpModeButtons()
{
    for (auto* button : { &linkButton, &mirrorButton, &freeButton, &diceButton,
                          &previousButton, &nextButton, &saveButton, &loadButton })
    {
        addAndMakeVisible (*button);
        button->setColour (juce::TextButton::textColourOffId, Palette::cream);
        button->setColour (juce::TextButton::textColourOnId, Palette::cream);
    }

    // The mode buttons show the parameter, not their own clicks: the timer sets their state.
    const std::array<juce::TextButton*, 3> modeButtons { &linkButton, &mirrorButton, &freeButton };

    for (int mode = 0; mode < (int) modeButtons.size(); ++mode)
    {
        modeButtons[(size_t) mode]->setClickingTogglesState (false);
        modeButtons[(size_t) mode]->onClick = [this, mode]
        { setBreadMode (mode); };
    }

    linkButton.setComponentID ("linkButton");
    mirrorButton.setComponentID ("mirrorButton");
    freeButton.setComponentID ("freeButton");
}

void MorselloAudioProcessorEditor::setUpRecipeControls()
{
    previousButton.setComponentID ("previousRecipe");
    nextButton.setComponentID ("nextRecipe");
    saveButton.setComponentID ("saveRecipe");
    loadButton.setComponentID ("loadRecipe");
    recipeBox.setComponentID ("recipeBox");

    diceButton.setButtonText ({});
    diceButton.setComponentID ("recipeDice");
    diceButton.setTooltip ("Randomise recipe");
    diceButton.onClick = [this]
    { recipeBox.setText (ChefsChoice::randomise (processor), juce::dontSendNotification); };

    previousButton.onClick = [this]
    { stepRecipe (-1); };
    nextButton.onClick = [this]
    { stepRecipe (+1); };
    // A recipe saved or loaded shows its file's name; a failed one leaves the box as it was.
    auto showFileName = [this] (const RecipeFile::Result& result)
    {
        if (result.succeeded())
            recipeBox.setText (result.name, juce::dontSendNotification);
    };

    saveButton.onClick = [this, showFileName]
    { RecipeDialogs::launchSave (fileChooser, processor, showFileName); };
    loadButton.onClick = [this, showFileName]
    { RecipeDialogs::launchLoad (fileChooser, processor, showFileName); };

    recipeBox.setJustificationType (juce::Justification::centred);
    recipeBox.setColour (juce::ComboBox::textColourId, Palette::cream);

    for (int j = 0; j < kNumFactoryRecipes; ++j)
        recipeBox.addItem (kFactoryRecipes[(size_t) j].name, j + 1);

    recipeBox.setEditableText (false);
    recipeBox.onChange = [this]
    {
        const auto chosen = recipeBox.getSelectedId() - 1;

        if (chosen >= 0)
            processor.applyFactoryRecipe (chosen);

        // Applying a recipe makes it the current program, so this is the chosen one.
        selectedRecipe = processor.getCurrentProgram();
        showRecipe (selectedRecipe);
    };
    addAndMakeVisible (recipeBox);

    selectedRecipe = processor.getCurrentProgram();
    showRecipe (selectedRecipe);
}

void MorselloAudioProcessorEditor::setUpAccessibility()
{
    // Titles a person would say. The layer knobs' titles follow their captions (updateCaptions).
    // Both bread menus set the one kind that both breads share, so both carry its title, and the
    // description tells them apart.
    bread1Box.setTitle ("bread kind");
    bread1Box.setDescription ("the kind of both breads, on bread 1's slice");
    bread2Box.setTitle ("bread kind");
    bread2Box.setDescription ("the kind of both breads, on bread 2's slice");
    fillingBox.setTitle ("filling kind");
    recipeBox.setTitle ("recipe");
    toastKnob.setTitle ("toast");
    biteKnob.setTitle ("bite");
    outputSlider.setTitle ("output");
    diceButton.setTitle ("chef's choice");
    previousButton.setTitle ("previous recipe");
    nextButton.setTitle ("next recipe");
    saveButton.setTitle ("save recipe");
    loadButton.setTitle ("load recipe");
    inputLevel.setTitle ("input level");
    outputLevel.setTitle ("output level");

    for (auto* knob : { &rightKnobs[0], &rightKnobs[1], &rightKnobs[2] })
        knob->setDescription ("used in the free bread mode; link and mirror take bread 2 from bread 1");

    const std::array<PanelButton*, 3> modeButtons { &linkButton, &mirrorButton, &freeButton };

    for (size_t mode = 0; mode < modeButtons.size(); ++mode)
    {
        modeButtons[mode]->setTitle ("bread mode: " + kBreadModeNames[(int) mode]);
        modeButtons[mode]->setReportedAsChoice (true);
    }

    // A click on a button leaves the keyboard focus where it was, so that Space, which now
    // presses a focused button, still reaches the host after a click as it did before.
    for (auto* button : { &linkButton, &mirrorButton, &freeButton, &diceButton, &previousButton, &nextButton,
                          &saveButton, &loadButton })
        button->setMouseClickGrabsKeyboardFocus (false);

    // The captions are read as part of their knobs' titles.
    for (auto* caption : { &toastCaption, &biteCaption, &outputCaption })
        caption->setAccessible (false);

    for (auto* captions : { &leftCaptions, &rightCaptions })
        for (auto& caption : *captions)
            caption.setAccessible (false);

    for (auto& caption : fillCaptions)
        caption.setAccessible (false);

    inputLevel.setComponentID ("inputLevel");
    outputLevel.setComponentID ("outputLevel");
    addAndMakeVisible (inputLevel);
    addAndMakeVisible (outputLevel);

    // Reading order: each layer's kind menu then its knobs, left to right; the mode buttons; the
    // bottom row from the input meter on the left to the output meter and slider on the right.
    readingOrder = { &bread1Box, &leftKnobs[0], &leftKnobs[1], &leftKnobs[2],
                     &fillingBox, &fillKnobs[0], &fillKnobs[1], &fillKnobs[2], &fillKnobs[3],
                     &bread2Box, &rightKnobs[0], &rightKnobs[1], &rightKnobs[2],
                     &linkButton, &mirrorButton, &freeButton,
                     &inputLevel,
                     &diceButton, &previousButton, &recipeBox, &nextButton, &saveButton, &loadButton,
                     &toastKnob, &biteKnob,
                     &outputLevel, &outputSlider };

    // The Tab key takes the same order and wraps within the window. (The framework's own order
    // would also stop at the knobs' text boxes, where Tab does nothing a user could see.)
    setFocusContainerType (juce::Component::FocusContainerType::keyboardFocusContainer);
    setTitle (JucePlugin_Name);
}

std::unique_ptr<juce::ComponentTraverser> MorselloAudioProcessorEditor::createFocusTraverser()
{
    return std::make_unique<ReadingOrder> (readingOrder, ReadingOrder::Reach::screenReader);
}

std::unique_ptr<juce::ComponentTraverser> MorselloAudioProcessorEditor::createKeyboardFocusTraverser()
{
    return std::make_unique<ReadingOrder> (readingOrder, ReadingOrder::Reach::keyboard);
}

MorselloAudioProcessorEditor::~MorselloAudioProcessorEditor()
{
    stopTimer();
    // Otherwise a focused control, destroyed, would hand the focus to the next one to go.
    giveAwayKeyboardFocus();
    setLookAndFeel (nullptr);
}

//==============================================================================
void MorselloAudioProcessorEditor::setupKnob (ParameterKnob& slider, juce::Label& caption, const juce::String& text)
{
    slider.setSliderStyle (juce::Slider::RotaryHorizontalVerticalDrag);
    slider.setTextBoxStyle (juce::Slider::TextBoxBelow, false, 62, 17);
    slider.setDoubleClickReturnValue (true, 0.5);
    addAndMakeVisible (slider);

    caption.setText (text, juce::dontSendNotification);
    caption.setJustificationType (juce::Justification::centred);
    caption.setColour (juce::Label::textColourId, Palette::charcoal);
    caption.setFont (MorselloLookAndFeel::plainFont (15.0f));
    addAndMakeVisible (caption);
}

void MorselloAudioProcessorEditor::setBreadMode (int modeIndex)
{
    // One host-visible gesture; the buttons follow on the next tick, from the parameter.
    processor.setParameterValue (parameterId (ParameterIndex::breadMode), (float) modeIndex);
}

void MorselloAudioProcessorEditor::stepRecipe (int step)
{
    // Wraps any stored index into 0..15, so even an index from outside the table steps safely.
    const auto next = ((selectedRecipe + step) % kNumFactoryRecipes + kNumFactoryRecipes) % kNumFactoryRecipes;

    selectedRecipe = next;
    processor.applyFactoryRecipe (next);
    showRecipe (next);
}

void MorselloAudioProcessorEditor::showRecipe (int index)
{
    // Setting a recipe's name selects its item; nothing is applied because no change is sent.
    if (juce::isPositiveAndBelow (index, kNumFactoryRecipes))
        recipeBox.setText (kFactoryRecipes[(size_t) index].name, juce::dontSendNotification);
    else
        recipeBox.setText ({}, juce::dontSendNotification);
}

void MorselloAudioProcessorEditor::updateCaptions()
{
    const auto& bread = breadCaptionsFor (bread1Box.getSelectedItemIndex());
    const auto& filling = fillingCaptionsFor (fillingBox.getSelectedItemIndex());

    // A screen reader reads each layer knob by its layer and caption.
    for (size_t i = 0; i < bread.size(); ++i)
    {
        leftCaptions[i].setText (bread[i], juce::dontSendNotification);
        rightCaptions[i].setText (bread[i], juce::dontSendNotification);
        leftKnobs[i].retitle (juce::String ("bread 1 ") + bread[i]);
        rightKnobs[i].retitle (juce::String ("bread 2 ") + bread[i]);
    }

    for (size_t j = 0; j < filling.size(); ++j)
    {
        fillCaptions[j].setText (filling[j], juce::dontSendNotification);
        fillKnobs[j].retitle (juce::String ("filling ") + filling[j]);
    }
}

//==============================================================================
void MorselloAudioProcessorEditor::timerCallback() { refresh(); }

void MorselloAudioProcessorEditor::refresh()
{
    for (int channel = 0; channel < MeterDisplayState::numChannels; ++channel)
        meterState.update (channel, processor.getLevelMeters().take (channel));

    {
        const auto mode = static_cast<BreadMode> (breadModeParameter.getIndex());

        linkButton.setToggleState (mode == BreadMode::link, juce::dontSendNotification);
        mirrorButton.setToggleState (mode == BreadMode::mirror, juce::dontSendNotification);
        freeButton.setToggleState (mode == BreadMode::free, juce::dontSendNotification);

        // Outside "free" the engine derives bread 2 from bread 1, so its own knobs only show
        // their stored values.
        for (auto& knob : rightKnobs)
        {
            knob.setEnabled (mode == BreadMode::free);
            knob.setAlpha (mode == BreadMode::free ? 1.0f : 0.8f);
        }
    }

    // In silence and between moves the pictures stay equal, and the tick draws nothing.
    for (size_t i = 0; i < meterPlaces.size(); ++i)
    {
        auto picture = meterPicture (meterState, meterPlaces[i].firstChannel);

        if (picture != shownMeters[i])
        {
            if (picture.peakText != shownMeters[i].peakText)
                (i == 0 ? inputLevel : outputLevel).levelChanged();

            shownMeters[i] = std::move (picture);
            repaint (meterRepaintArea (meterPlaces[i]));
        }
    }
}

//==============================================================================
std::pair<float, float> MorselloAudioProcessorEditor::designScale() const noexcept
{
    return { (float) getWidth() / (float) designWidth, (float) getHeight() / (float) designHeight };
}

void MorselloAudioProcessorEditor::resized()
{
    // Remade at the new size by the next paint.
    staticLayer = {};

    // Each design value is scaled and rounded on its own, so neighbouring children may differ
    // by a pixel from a scaled union, but every child follows the same rule at every size.
    const auto scale = designScale();

    const auto place = [sx = scale.first, sy = scale.second] (juce::Component& child, int x, int y, int w, int h)
    {
        child.setBounds (juce::roundToInt ((float) x * sx), juce::roundToInt ((float) y * sy),
                         juce::roundToInt ((float) w * sx), juce::roundToInt ((float) h * sy));
    };

    place (bread1Box, 116, 252, 294, 58);
    place (fillingBox, 677, 252, 318, 58);
    place (bread2Box, 1264, 252, 294, 58);

    for (int i = 0; i < 3; ++i)
    {
        place (leftKnobs[(size_t) i], 62 + 139 * i, 340, 120, 132);
        place (leftCaptions[(size_t) i], 62 + 139 * i, 477, 120, 30);
        place (rightKnobs[(size_t) i], 1210 + 139 * i, 340, 120, 132);
        place (rightCaptions[(size_t) i], 1210 + 139 * i, 477, 120, 30);
    }

    for (int i = 0; i < 4; ++i)
    {
        place (fillKnobs[(size_t) i], 557 + 147 * i, 340, 120, 132);
        place (fillCaptions[(size_t) i], 557 + 147 * i, 477, 120, 30);
    }

    place (linkButton, 606, 570, 145, 42);
    place (mirrorButton, 760, 570, 145, 42);
    place (freeButton, 914, 570, 145, 42);
    place (diceButton, 415, 675, 62, 62);
    place (previousButton, 515, 677, 40, 52);
    place (recipeBox, 561, 677, 315, 52);
    place (nextButton, 882, 677, 40, 52);
    place (saveButton, 606, 750, 100, 30);
    place (loadButton, 742, 750, 100, 30);
    place (toastKnob, 973, 650, 112, 116);
    place (toastCaption, 973, 772, 112, 28);
    place (biteKnob, 1127, 620, 152, 146);
    place (biteCaption, 1148, 772, 110, 28);
    place (outputCaption, 1328, 772, 88, 30);
    place (outputSlider, 1425, 772, 203, 30);
    // The meters' stand-ins for screen readers lie over the meters.
    place (inputLevel, (int) meterPlaces[0].x, 656, 300, 76);
    place (outputLevel, (int) meterPlaces[1].x, 656, 300, 76);

    // Repeated on every call; the slider ignores settings it already has.
    outputSlider.setSliderStyle (juce::Slider::LinearHorizontal);

    for (auto* slider : { &toastKnob, &biteKnob, &outputSlider })
        slider->setTextBoxStyle (juce::Slider::TextBoxBelow, false, 64, 17);

    outputSlider.setTextBoxStyle (juce::Slider::TextBoxRight, false, 68, 22);
}

//==============================================================================
void MorselloAudioProcessorEditor::paint (juce::Graphics& g)
{
    if (getWidth() <= 0 || getHeight() <= 0)
    {
        g.fillAll (Palette::charcoal);
        return;
    }

    // The layer is made in the display's own pixels, so that drawing it back is a plain copy
    // (the two scales cancel) and it looks as sharp as drawing the parts directly.
    const auto scale = g.getInternalContext().getPhysicalPixelScaleFactor();
    const auto layerWidth = juce::roundToInt ((float) getWidth() * scale);
    const auto layerHeight = juce::roundToInt ((float) getHeight() * scale);

    if (! staticLayer.isValid() || staticLayerScale != scale || staticLayer.getWidth() != layerWidth
        || staticLayer.getHeight() != layerHeight)
    {
        staticLayer = juce::Image (juce::Image::ARGB, juce::jmax (1, layerWidth), juce::jmax (1, layerHeight), true);
        staticLayerScale = scale;

        juce::Graphics layer (staticLayer);
        layer.addTransform (juce::AffineTransform::scale ((float) staticLayer.getWidth() / (float) getWidth(),
                                                          (float) staticLayer.getHeight() / (float) getHeight()));
        paintStaticParts (layer);
    }

    g.setOpacity (1.0f);
    g.drawImageTransformed (staticLayer,
                            juce::AffineTransform::scale ((float) getWidth() / (float) staticLayer.getWidth(),
                                                          (float) getHeight() / (float) staticLayer.getHeight()));

    // The meters lie on their own part of the layer and nothing else is drawn over them, so they
    // come last; a repaint of a control elsewhere leaves them out.
    for (const auto& place : meterPlaces)
        if (g.clipRegionIntersects (meterRepaintArea (place)))
            drawMeter (g, meterArea (place), place.firstChannel, place.name);
}

void MorselloAudioProcessorEditor::paintStaticParts (juce::Graphics& g) const
{
    g.fillAll (Palette::charcoal);

    const auto [sx, sy] = designScale();

    if (backgroundImage.isValid())
        g.drawImage (backgroundImage, getLocalBounds().toFloat(), juce::RectanglePlacement::stretchToFit);

    if (logoImage.isValid())
    {
        // The logo picture has a margin; only its middle part is shown, as a view on the
        // decoded picture rather than a copy.
        const auto w = (float) logoImage.getWidth();
        const auto h = (float) logoImage.getHeight();
        const auto middle = logoImage.getClippedImage ({ juce::roundToInt (0.15f * w), juce::roundToInt (0.25f * h),
                                                         juce::roundToInt (0.7f * w), juce::roundToInt (0.46f * h) });
        g.drawImage (middle, { 70.0f * sx, 85.0f * sy, 248.0f * sx, 60.0f * sy }, juce::RectanglePlacement::centred);
    }

    struct PanelText
    {
        const char* text;
        float x, y, w, h, size;
        juce::Colour colour;
    };

    // Built on first use, after the palette's colours exist.
    static const std::array<PanelText, 8> panelTexts { {
        { "t h e   m o r s e l l o", 560, 83, 560, 56, 37, Palette::cream },
        { "l a y e r s  m a k e  b e t t e r  m u s i c", 1260, 96, 350, 30, 15, Palette::cream },
        { "bread 1", 100, 194, 320, 46, 32, Palette::charcoal },
        { "filling", 670, 194, 330, 46, 32, Palette::cream },
        { "bread 2", 1248, 194, 320, 46, 32, Palette::charcoal },
        { "chef's choice", 390, 745, 116, 28, 17, Palette::cream },
        { "sound between the slices", 58, 808, 330, 28, 16, Palette::cream.withAlpha (0.7f) },
        { "v " JucePlugin_VersionString, 1500, 808, 118, 28, 14, Palette::cream.withAlpha (0.7f) },
    } };

    for (const auto& t : panelTexts)
        drawPanelText (g, t.text, t.x, t.y, t.w, t.h, t.size, t.colour);

    // The divider is a hairline at every size.
    g.setColour (Palette::cream.withAlpha (0.25f));
    g.drawLine (60.0f * sx, 640.0f * sy, 1185.0f * sx, 640.0f * sy, 1.0f);

    // A fixed caption under each meter, not derived from the meter's mapping.
    const juce::String scale ("-60        -36        -24        -12        0");
    drawPanelText (g, scale, 80, 735, 278, 24, 13, Palette::cream);
    drawPanelText (g, scale, 1346, 735, 278, 24, 13, Palette::cream);
}

juce::Rectangle<float> MorselloAudioProcessorEditor::meterArea (const MeterPlace& place) const noexcept
{
    const auto [sx, sy] = designScale();
    return { place.x * sx, 656.0f * sy, 300.0f * sx, 76.0f * sy };
}

juce::Rectangle<int> MorselloAudioProcessorEditor::meterRepaintArea (const MeterPlace& place) const noexcept
{
    // The outline's stroke reaches half a pixel beyond the area, and its smoothing one more.
    return meterArea (place).getSmallestIntegerContainer().expanded (2);
}

void MorselloAudioProcessorEditor::drawPanelText (juce::Graphics& g, const juce::String& text, float x, float y,
                                                  float w, float h, float fontSize, juce::Colour colour) const
{
    const auto [sx, sy] = designScale();

    g.setColour (colour);
    g.setFont (MorselloLookAndFeel::plainFont (fontSize * sy));
    g.drawText (text, juce::Rectangle<float> (x * sx, y * sy, w * sx, h * sy), juce::Justification::centred, true);
}

void MorselloAudioProcessorEditor::drawMeter (juce::Graphics& g, juce::Rectangle<float> area, int firstChannel,
                                              const juce::String& name) const
{
    // Everything inside the meter scales with the width only, so the meter keeps its
    // proportions when the window's height scale differs slightly.
    const auto s = designScale().first;

    g.setColour (juce::Colours::black.withAlpha (0.88f));
    g.fillRoundedRectangle (area, 5.0f);
    g.setColour (Palette::cream.withAlpha (0.24f));
    g.drawRoundedRectangle (area, 5.0f, 1.0f);

    auto inner = area.reduced (6.0f * s, 5.0f * s);
    const auto header = inner.removeFromTop (juce::jmin (17.0f * s, inner.getHeight()));
    auto body = inner;

    g.setFont (MorselloLookAndFeel::plainFont (12.0f * s));
    g.setColour (Palette::cream);
    g.drawText (name, header, juce::Justification::centredLeft, true);

    const auto c0 = (size_t) firstChannel;
    const auto peak = juce::jmax (meterState.heldPeak[c0], meterState.heldPeak[c0 + 1]);
    g.drawText (meterPeakText (peak), header, juce::Justification::centredRight, true);

    const juce::Colour red (0xFFF53A30), yellow (0xFFF8CF34), green (0xFF40DC5B);

    for (int i = 0; i < 2; ++i)
    {
        const auto c = c0 + (size_t) i;

        // The first row takes half of the body, the second the rest.
        auto row = body.removeFromTop (body.getHeight() / (float) (2 - i)).reduced (0.0f, 2.0f * s);
        const auto letterArea = row.removeFromLeft (juce::jmin (16.0f * s, row.getWidth()));
        const auto bar = row;

        g.setColour (Palette::cream.withAlpha (0.7f));
        g.drawText (i == 0 ? "L" : "R", letterArea, juce::Justification::centredLeft, true);

        const auto fill = meterFraction (meterState.displayLevel[c]);
        const auto segmentWidth = juce::jmax (0.0f, bar.getWidth() / (float) meterSegments - 1.5f * s);

        for (int j = 0; j < meterSegments; ++j)
        {
            const auto t = (float) j / (float) meterSegments;
            const auto x = bar.getX() + bar.getWidth() * t;
            const auto colour = t > 0.9f ? red : (t > 0.7f ? yellow : green);
            const juce::Rectangle<float> segment { x, bar.getY(), segmentWidth, bar.getHeight() };

            if (isSegmentLit (j, fill))
            {
                g.setColour (colour.withAlpha (0.14f));
                g.fillRoundedRectangle ({ x - s, bar.getY() - s, juce::jmax (0.0f, segmentWidth + 2.0f * s),
                                          juce::jmax (0.0f, bar.getHeight() + 2.0f * s) },
                                        2.0f * s);
                g.setColour (colour.withAlpha (0.95f));
            }
            else
            {
                g.setColour (colour.withAlpha (0.13f));
            }

            g.fillRect (segment);
        }

        if (meterState.heldPeak[c] > meterMarkerThreshold)
        {
            const auto held = meterFraction (meterState.heldPeak[c]);
            g.setColour (meterState.clipTicks[c] > 0 ? juce::Colours::orangered : Palette::cream);
            g.fillRect (bar.getX() + juce::jmin (held * bar.getWidth(), bar.getWidth() - 2.0f * s),
                        bar.getY(), 2.0f * s, bar.getHeight());
        }
    }
}
} // namespace morsello
