#include "streammap.h"

#include <bit>

namespace {
constexpr std::uint64_t kWords = Rng::kN;
constexpr std::uint64_t kAttempts = kAttemptsPerGeneration;
constexpr std::uint64_t kGenerations = kSegmentGenerations;
}  // namespace

void skipIterations(Rng& rng, const IterationDraws& draws, std::uint64_t iterations) {
    // Iterations of deviates alone are one run of deviates.
    if (draws.size() == 1 && draws[0].kind == DrawStep::Kind::Normals) {
        skipNormals(rng, draws[0].count * iterations);
        return;
    }
    for (std::uint64_t i = 0; i < iterations; ++i) {
        for (const DrawStep& step : draws) {
            if (step.kind == DrawStep::Kind::Normals)
                skipNormals(rng, step.count);
            else
                skipUniforms(rng, step.count);
        }
    }
}

void StreamSegment::count() {
    std::array<std::uint32_t, Rng::kN> words = first;
    for (int g = 0; g < kSegmentGenerations; ++g) {
        if (g > 0) mt_detail::nextGeneration(words.data());
        acceptedAttempts(words.data(), accepted.data() + g * kAttemptBitWords);
    }
}

std::array<std::uint32_t, Rng::kN> StreamSegment::generationWords(int g) const {
    std::array<std::uint32_t, Rng::kN> words = first;
    for (int k = 0; k < g; ++k) mt_detail::nextGeneration(words.data());
    return words;
}

void SegmentSource::next(StreamSegment& into) {
    into.first = words_;
    skip();
}

void SegmentSource::skip() {
    for (int g = 0; g < kSegmentGenerations; ++g) mt_detail::nextGeneration(words_.data());
}

bool StreamWalker::walkable(const Rng& start, const IterationDraws& draws) {
    if (start.mti > Rng::kN || start.mti % 2 != 0) return false;
    for (const DrawStep& step : draws)
        if (step.kind == DrawStep::Kind::Uniforms && step.count % 2 != 0) return false;
    return true;
}

StreamWalker::StreamWalker(const Rng& start)
    : start_(start),
      position_(static_cast<std::uint64_t>(start.mti)),
      useLast_(start.use_last),
      y2_(start.y2) {}

void StreamWalker::walk(const IterationDraws& draws, std::uint64_t iterations, const Segments& segment) {
    if (draws.size() == 1 && draws[0].kind == DrawStep::Kind::Normals) {
        normals(draws[0].count * iterations, segment);
        return;
    }
    for (std::uint64_t i = 0; i < iterations; ++i) {
        for (const DrawStep& step : draws) {
            if (step.kind == DrawStep::Kind::Normals)
                normals(step.count, segment);
            else
                uniforms(step.count, segment);
        }
    }
}

// The cached deviate is formed when a state needs it or before the walk
// leaves its attempt far behind.
void StreamWalker::uniforms(std::uint64_t n, const Segments& segment) {
    if (n > 0 && useLast_ == 1 && !y2Known_) formCachedDeviate(segment);
    position_ += n;
}

void StreamWalker::formCachedDeviate(const Segments& segment) {
    std::uint32_t u1, u2;
    attemptOutputs(cachedAttempt_, segment, u1, u2);
    y2_ = cachedDeviate(u1, u2);
    y2Known_ = true;
}

// As skipNormals: the cached deviate first, then whole pairs, and for an odd
// remainder one more accepted attempt whose second deviate stays cached.
void StreamWalker::normals(std::uint64_t n, const Segments& segment) {
    if (n > 0 && useLast_ == 1) {
        useLast_ = 0;
        ++normals_;
        --n;
    }
    const std::uint64_t pairs = n / 2;
    if (pairs > 0) position_ = 2 * (acceptedAttempt(position_ / 2, pairs, segment) + 1);
    normals_ += 2 * pairs;
    if (n % 2 == 1) {
        const std::uint64_t attempt = acceptedAttempt(position_ / 2, 1, segment);
        cachedAttempt_ = attempt;
        y2Known_ = false;
        useLast_ = 1;
        ++normals_;
        position_ = 2 * (attempt + 1);
    }
}

std::uint64_t StreamWalker::acceptedAttempt(std::uint64_t from, std::uint64_t k,
                                            const Segments& segment) const {
    std::uint64_t generation = from / kAttempts;
    std::uint64_t skip = from % kAttempts;  // attempts of this generation before `from`
    std::uint64_t current = generation / kGenerations;
    const StreamSegment* seg = &segment(current);
    for (;;) {
        if (generation / kGenerations != current) {
            current = generation / kGenerations;
            seg = &segment(current);
        }
        const std::uint64_t* bits = seg->accepted.data() + (generation % kGenerations) * kAttemptBitWords;
        for (std::uint64_t w = skip / 64; w < kAttemptBitWords; ++w) {
            std::uint64_t set = bits[w];
            if (w == skip / 64) set &= ~std::uint64_t{0} << (skip % 64);
            const auto found = static_cast<std::uint64_t>(std::popcount(set));
            if (found >= k) {
                for (; k > 1; --k) set &= set - 1;
                return generation * kAttempts + 64 * w + static_cast<std::uint64_t>(std::countr_zero(set));
            }
            k -= found;
        }
        ++generation;
        skip = 0;
    }
}

void StreamWalker::attemptOutputs(std::uint64_t attempt, const Segments& segment, std::uint32_t& u1,
                                  std::uint32_t& u2) const {
    const std::uint64_t generation = attempt / kAttempts;
    const auto words = segment(generation / kGenerations).generationWords(static_cast<int>(generation % kGenerations));
    const std::uint64_t k = 2 * (attempt % kAttempts);
    u1 = mt_detail::temper(words[k]);
    u2 = mt_detail::temper(words[k + 1]);
}

Rng StreamWalker::state(const Segments& segment) {
    if (useLast_ == 1 && !y2Known_) formCachedDeviate(segment);
    // The generation holding the last output drawn, as a replay leaves it:
    // a generation used up is replaced only when the next output is drawn.
    const std::uint64_t generation = position_ == 0 ? 0 : (position_ - 1) / kWords;
    Rng r = start_;
    r.mt = segment(generation / kGenerations).generationWords(static_cast<int>(generation % kGenerations));
    r.mti = static_cast<int>(position_ - generation * kWords);
    r.use_last = useLast_;
    r.y2 = y2_;
    r.nUniforms = start_.nUniforms + (position_ - static_cast<std::uint64_t>(start_.mti));
    r.nNormals = start_.nNormals + normals_;
    r.generation = start_.generation + generation;
    r.coordGeneration = ~std::uint64_t{0};
    return r;
}
