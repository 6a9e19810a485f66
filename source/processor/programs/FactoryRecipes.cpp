#include "processor/programs/FactoryRecipes.h"

#include "dsp/EngineSettings.h"

namespace morsello
{
// clang-format off
const std::array<FactoryRecipe, kNumFactoryRecipes> kFactoryRecipes {{
    //  name                breadType   breadMode  fillingType      left                   right                  fill                          toast  bite
    { "soft centre",        BreadType::filter, BreadMode::link,   0, { 0.68f, 0.38f, 0.72f }, { 0.68f, 0.38f, 0.72f }, { 0.58f, 0.31f, 0.64f, 0.56f }, 0.18f, 0.45f },
    { "toasted cloud",      BreadType::drive,  BreadMode::link,   1, { 0.27f, 0.61f, 0.66f }, { 0.27f, 0.61f, 0.66f }, { 0.76f, 0.67f, 0.43f, 0.73f }, 0.46f, 0.54f },
    { "inside out",         BreadType::filter, BreadMode::mirror, 4, { 0.23f, 0.71f, 0.78f }, { 0.77f, 0.29f, 0.78f }, { 0.72f, 0.82f, 0.61f, 0.66f }, 0.21f, 0.58f },
    { "jam tomorrow",       BreadType::chorus, BreadMode::link,   2, { 0.34f, 0.57f, 0.52f }, { 0.34f, 0.57f, 0.52f }, { 0.48f, 0.64f, 0.35f, 0.58f }, 0.13f, 0.42f },
    { "crumbs in orbit",    BreadType::echo,   BreadMode::mirror, 0, { 0.66f, 0.49f, 0.45f }, { 0.34f, 0.51f, 0.45f }, { 0.24f, 0.78f, 0.81f, 0.71f }, 0.27f, 0.63f },
    { "midnight picnic",    BreadType::filter, BreadMode::free,   1, { 0.38f, 0.64f, 0.68f }, { 0.81f, 0.23f, 0.58f }, { 0.91f, 0.42f, 0.28f, 0.69f }, 0.33f, 0.51f },
    { "bitten tape",        BreadType::drive,  BreadMode::free,   3, { 0.51f, 0.29f, 0.57f }, { 0.22f, 0.73f, 0.69f }, { 0.67f, 0.53f, 0.72f, 0.62f }, 0.41f, 0.47f },
    { "two crusts",         BreadType::echo,   BreadMode::link,   2, { 0.41f, 0.52f, 0.36f }, { 0.41f, 0.52f, 0.36f }, { 0.29f, 0.77f, 0.58f, 0.49f }, 0.11f, 0.38f },
    { "amber filling",      BreadType::chorus, BreadMode::mirror, 4, { 0.19f, 0.76f, 0.61f }, { 0.81f, 0.24f, 0.61f }, { 0.86f, 0.36f, 0.73f, 0.74f }, 0.25f, 0.59f },
    { "wrong lunch",        BreadType::drive,  BreadMode::free,   0, { 0.73f, 0.18f, 0.49f }, { 0.31f, 0.82f, 0.62f }, { 0.39f, 0.91f, 0.44f, 0.78f }, 0.58f, 0.68f },
    { "quiet deli",         BreadType::filter, BreadMode::link,   1, { 0.79f, 0.21f, 0.76f }, { 0.79f, 0.21f, 0.76f }, { 0.63f, 0.24f, 0.57f, 0.45f }, 0.08f, 0.31f },
    { "chef's mistake",     BreadType::chorus, BreadMode::free,   3, { 0.72f, 0.44f, 0.67f }, { 0.28f, 0.84f, 0.42f }, { 0.81f, 0.61f, 0.39f, 0.83f }, 0.49f, 0.72f },
    { "alien cutlery",      BreadType::filter, BreadMode::link,   5, { 0.85f, 0.2f,  0.2f  }, { 0.85f, 0.2f,  0.2f  }, { 0.45f, 0.3f,  0.5f,  0.7f  }, 0.1f,  0.65f },
    { "folded napkin",      BreadType::filter, BreadMode::link,   6, { 0.8f,  0.15f, 0.2f  }, { 0.8f,  0.15f, 0.2f  }, { 0.42f, 0.5f,  0.6f,  0.75f }, 0.08f, 0.6f  },
    { "singing glass",      BreadType::filter, BreadMode::link,   7, { 0.8f,  0.2f,  0.15f }, { 0.8f,  0.2f,  0.15f }, { 0.48f, 0.87f, 0.2f,  0.8f  }, 0.06f, 0.65f },
    { "orbiting crumbs",    BreadType::chorus, BreadMode::link,   8, { 0.15f, 0.3f,  0.25f }, { 0.15f, 0.3f,  0.25f }, { 0.45f, 0.9f,  1.0f,  1.0f  }, 0.06f, 0.85f },
}};
// clang-format on
} // namespace morsello
