#pragma once

#include "dsp/MorselloEngine.h"

namespace morsello
{
// The tests' access to an engine's layers between blocks, to disturb one as a fault in its
// arithmetic would. The engine grants it to this struct alone; its public view is read-only.
struct EngineLayerAccess
{
    static MorselloEngine::Layers& layersOf (MorselloEngine& engine) noexcept { return engine.layers; }
};
} // namespace morsello
