// Proves that processBlock allocates nothing and takes no lock: this executable replaces the C
// library's allocation functions and the mutex and condition-variable waits with counting
// versions, armed only around the calls under test. Everything that allocates in C++ (operator
// new, the framework's heap blocks) ends in these functions. Under AddressSanitizer, which owns
// the allocation functions itself, its allocation hook does the counting instead.

#include "processor/PluginProcessor.h"
#include "support/PoisonedLayers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <dlfcn.h>
#include <pthread.h>

using namespace morsello;

#if ! defined(__SANITIZE_ADDRESS__)
extern "C"
{
    void* __libc_malloc (size_t);
    void* __libc_calloc (size_t, size_t);
    void* __libc_realloc (void*, size_t);
    void* __libc_memalign (size_t, size_t);
    void __libc_free (void*);
}
#endif

namespace
{
std::atomic<bool> armed { false };
std::atomic<int> allocations { 0 }, locks { 0 };

void countAllocation() noexcept
{
    if (armed.load (std::memory_order_relaxed))
        allocations.fetch_add (1, std::memory_order_relaxed);
}

void countLock() noexcept
{
    if (armed.load (std::memory_order_relaxed))
        locks.fetch_add (1, std::memory_order_relaxed);
}

template <typename Function>
Function nextSymbol (const char* name)
{
    return reinterpret_cast<Function> (dlsym (RTLD_NEXT, name));
}
} // namespace

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer's runtime calls this for every allocation it makes (malloc, calloc, realloc,
// the aligned forms and operator new alike). Its header is not installed with gcc's runtime.
extern "C" int __sanitizer_install_malloc_and_free_hooks (void (*) (const volatile void*, size_t),
                                                          void (*) (const volatile void*));

namespace
{
[[maybe_unused]] const int allocationHookInstalled = __sanitizer_install_malloc_and_free_hooks (
    [] (const volatile void*, size_t)
    { countAllocation(); },
    [] (const volatile void*) {});
} // namespace
#else
extern "C"
{
    void* malloc (size_t size)
    {
        countAllocation();
        return __libc_malloc (size);
    }

    void* calloc (size_t count, size_t size)
    {
        countAllocation();
        return __libc_calloc (count, size);
    }

    void* realloc (void* pointer, size_t size)
    {
        countAllocation();
        return __libc_realloc (pointer, size);
    }

    void* aligned_alloc (size_t alignment, size_t size)
    {
        countAllocation();
        return __libc_memalign (alignment, size);
    }

    void* memalign (size_t alignment, size_t size)
    {
        countAllocation();
        return __libc_memalign (alignment, size);
    }

    int posix_memalign (void** result, size_t alignment, size_t size)
    {
        countAllocation();
        *result = __libc_memalign (alignment, size);
        return *result != nullptr ? 0 : ENOMEM;
    }

    void free (void* pointer)
    {
        __libc_free (pointer);
    }
}
#endif

extern "C"
{
    int pthread_mutex_lock (pthread_mutex_t* mutex)
    {
        static const auto next = nextSymbol<int (*) (pthread_mutex_t*)> ("pthread_mutex_lock");
        countLock();
        return next (mutex);
    }

    int pthread_mutex_trylock (pthread_mutex_t* mutex)
    {
        static const auto next = nextSymbol<int (*) (pthread_mutex_t*)> ("pthread_mutex_trylock");
        countLock();
        return next (mutex);
    }

    int pthread_cond_wait (pthread_cond_t* condition, pthread_mutex_t* mutex)
    {
        static const auto next = nextSymbol<int (*) (pthread_cond_t*, pthread_mutex_t*)> ("pthread_cond_wait");
        countLock();
        return next (condition, mutex);
    }
}

namespace
{
struct ArmedScope
{
    ArmedScope()
    {
        allocations = 0;
        locks = 0;
        armed = true;
    }

    ~ArmedScope() { armed = false; }
};

// Exercises the counters themselves, so that a test that counts nothing cannot pass unnoticed.
TEST (RealtimeSafety, CountersSeeAllocationsAndLocks)
{
    std::mutex mutex;
    // Called through a volatile pointer so that the compiler cannot drop the allocation.
    void* (*volatile allocate) (std::size_t) = ::operator new;
    void* block = nullptr;

    {
        ArmedScope scope;
        block = allocate (64);
        const std::lock_guard<std::mutex> guard (mutex);
        juce::CriticalSection section;
        const juce::ScopedLock sectionLock (section);
    }

    ::operator delete (block);
    EXPECT_GE (allocations.load(), 1);
    EXPECT_GE (locks.load(), 2);
}

TEST (RealtimeSafety, ProcessBlockNeitherAllocatesNorLocksForAnyKind)
{
    MorselloAudioProcessor processor;
    const int blockSize = 256;
    processor.prepareToPlay (48000.0, blockSize);

    // Longer than prepared, so the block is also cut into pieces that refer to it.
    juce::AudioBuffer<float> buffer (2, blockSize * 2 + 37);
    juce::MidiBuffer midi;
    juce::Random random (7);

    auto runBlocks = [&] (int count)
    {
        for (int block = 0; block < count; ++block)
        {
            for (int channel = 0; channel < 2; ++channel)
                for (int i = 0; i < buffer.getNumSamples(); ++i)
                    buffer.setSample (channel, i, random.nextFloat() - 0.5f);

            ArmedScope scope;
            processor.processBlock (buffer, midi);
        }
    };

    // Every kind in both qualities; the change of quality at each pass is a transition too.
    for (const auto quality : { Quality::standard, Quality::high })
    {
        processor.setQuality (quality);

        for (int breadType = 0; breadType < kBreadTypeNames.size(); ++breadType)
        {
            for (int fillingType = 0; fillingType < kFillingTypeNames.size(); ++fillingType)
            {
                // Each change starts a transition: fade out, reset, fade back in.
                processor.setParameterValue ("breadType", (float) breadType);
                processor.setParameterValue ("fillingType", (float) fillingType);
                processor.setParameterValue ("breadMode", (float) ((breadType + fillingType) % 3));
                processor.setParameterValue ("output", (float) (fillingType - 6));
                runBlocks (3);

                const auto where = kBreadTypeNames[breadType] + " around " + kFillingTypeNames[fillingType]
                                   + (quality == Quality::high ? " (high)" : " (standard)");
                ASSERT_EQ (allocations.load(), 0) << where;
                ASSERT_EQ (locks.load(), 0) << where;
            }
        }

        ASSERT_EQ (processor.getEngine().getQualityInUse(), quality);
    }
}

// Both channels of `buffer` filled with a quiet sine from sample `offset` on, the right one a
// sample ahead.
void fillWithSine (juce::AudioBuffer<float>& buffer, int offset)
{
    for (int channel = 0; channel < 2; ++channel)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            buffer.setSample (channel, i, 0.5f * std::sin (0.01f * (float) (i + offset + channel)));
}

// The engine's reset() is for the audio thread too: starting every layer afresh (the reverb's
// smoothing included) must allocate nothing and lock nothing, whichever kinds last ran.
TEST (RealtimeSafety, EngineResetNeitherAllocatesNorLocks)
{
    EngineSettings settings;
    settings[ParameterIndex::fill4] = settings[ParameterIndex::left3] = settings[ParameterIndex::bite] = 1.0f;

    auto engine = std::make_unique<MorselloEngine>();
    engine->prepare (44100.0, 128, 2, settings);
    juce::AudioBuffer<float> buffer (2, 128);

    for (int kind = 0; kind < kNumFillingTypes; ++kind)
    {
        settings[ParameterIndex::fillingType] = (float) kind;
        settings[ParameterIndex::breadType] = (float) (toIndex (BreadType::firstEngine) + kind);

        for (int block = 0; block < 4; ++block)
        {
            fillWithSine (buffer, block * 128);
            engine->process (buffer, settings);
        }

        {
            ArmedScope scope;
            engine->reset();
            engine->process (buffer, settings);
        }

        ASSERT_EQ (allocations.load(), 0) << kFillingTypeNames[kind];
        ASSERT_EQ (locks.load(), 0) << kFillingTypeNames[kind];
    }
}

// When the output guard fires, the engine starts the layers afresh at the end of that block, on
// the audio thread: that too must allocate nothing and lock nothing, for every kind's memory.
TEST (RealtimeSafety, RecoveryFromANonFiniteLayerNeitherAllocatesNorLocks)
{
    EngineSettings settings;
    settings[ParameterIndex::fill4] = settings[ParameterIndex::left3] = settings[ParameterIndex::bite] = 1.0f;

    auto engine = std::make_unique<MorselloEngine>();
    engine->prepare (44100.0, 128, 2, settings);
    juce::AudioBuffer<float> buffer (2, 128);

    auto runBlock = [&]
    {
        fillWithSine (buffer, 0);
        engine->process (buffer, settings);
    };

    for (int kind = 0; kind < kNumBreadTypes; ++kind)
    {
        settings[ParameterIndex::breadType] = (float) kind;
        settings[ParameterIndex::fillingType] = (float) (kind % kNumFillingTypes);

        // Past the transition to the new kinds, so the poisoned memory is the one that runs.
        for (int block = 0; block < 60; ++block)
            runBlock();

        const auto firings = engine->getGuardFirings();
        poisoned::poisonKind (*engine, true);
        poisoned::poisonKind (*engine, false);

        {
            ArmedScope scope;
            runBlock();
            runBlock();
        }

        ASSERT_GT (engine->getGuardFirings(), firings) << kBreadTypeNames[kind];
        ASSERT_EQ (allocations.load(), 0) << kBreadTypeNames[kind];
        ASSERT_EQ (locks.load(), 0) << kBreadTypeNames[kind];
    }
}
} // namespace
