// What a host sees of the plug-in's parameters and programs: the names, units, normalised
// defaults and steps a DAW lists, and the programs in order. The Linux hosted tests and the
// Windows test host both check the built bundle against these.

#pragma once

struct ExpectedParameter
{
    const char* name;
    const char* unit;
    float defaultValue; // normalised
    int numSteps;       // 0: continuous
};

const ExpectedParameter expectedParameters[] {
    { "Bread type", "", 0.0f, 13 },
    { "Bread mode", "", 0.0f, 3 },
    { "Filling type", "", 0.0f, 9 },
    { "left1", "", 0.5f, 0 },
    { "left2", "", 0.5f, 0 },
    { "left3", "", 0.5f, 0 },
    { "right1", "", 0.5f, 0 },
    { "right2", "", 0.5f, 0 },
    { "right3", "", 0.5f, 0 },
    { "fill1", "", 0.5f, 0 },
    { "fill2", "", 0.5f, 0 },
    { "fill3", "", 0.5f, 0 },
    { "fill4", "", 0.5f, 0 },
    { "toast", "", 0.5f, 0 },
    { "bite", "", 0.5f, 0 },
    { "Output", "dB", 18.0f / 24.0f, 0 },
};

const char* const expectedProgramNames[] {
    "soft centre", "toasted cloud", "inside out", "jam tomorrow", "crumbs in orbit",
    "midnight picnic", "bitten tape", "two crusts", "amber filling", "wrong lunch",
    "quiet deli", "chef's mistake", "alien cutlery", "folded napkin", "singing glass",
    "orbiting crumbs"
};
