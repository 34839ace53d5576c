// The Steim-2 frame encoder's walk from word to word, built once for each instruction set:
// the including file names the function (NEREID_STEIM2_ENCODER) and sets the compiler's
// target. Same bytes from every build.
#include "recording/steim2_word_runs.h"

#include <vector>

namespace nereid::recording {

namespace {

// Room for `size` values: on the stack up to kLocal, which records of the usual lengths never
// pass, on the heap beyond. Left uninitialised, as every value is written before it is read.
template <typename T, std::size_t kLocal> class CScratch {
public:
    explicit CScratch(std::size_t size) {
        if (size > kLocal) {
            m_heap.resize(size);
            m_data = m_heap.data();
        }
    }
    CScratch(const CScratch&) = delete;
    CScratch& operator=(const CScratch&) = delete;
    T* Data() { return m_data; }

private:
    T m_local[kLocal];
    std::vector<T> m_heap;
    T* m_data = m_local;
};

// Puts `count` words into the frames at `out`: the first frame's 13 after X0 and Xn, then 15
// a frame, each frame's nibble word made from the kinds (2 but for the words listed in `odd`,
// in order, with their kinds), the rest of the last frame and any frames after it zero.
void LayFrames(const std::uint8_t* words, int count, const std::uint16_t* odd,
               const std::uint8_t* oddKind, int oddCount, int frames, std::uint32_t first,
               std::uint32_t last, std::uint8_t* out) {
    int start = 0;
    int e = 0; // the next word listed in `odd`
    int frame = 0;
    for (; frame < frames && start < count; ++frame) {
        std::uint8_t* const f = out + static_cast<std::size_t>(frame) * 64;
        const int w = frame == 0 ? 3 : 1;
        const int held = std::min(kFrameWords - w, count - start);
        if (frame == 0) {
            PutBe32(f + 4, first);
            PutBe32(f + 8, last);
        }
        std::memcpy(f + 4 * w, words + 4 * start, 4 * static_cast<std::size_t>(held));
        if (w + held < kFrameWords) {
            std::memset(f + 4 * (w + held), 0,
                        4 * static_cast<std::size_t>(kFrameWords - w - held));
        }
        std::uint32_t nibbles = KindTwoNibbles(w, held);
        for (; e < oddCount && odd[e] < start + held; ++e) {
            nibbles ^= (2u ^ oddKind[e]) << (30 - 2 * (w + odd[e] - start));
        }
        PutBe32(f, nibbles);
        start += held;
    }
    if (frame < frames) {
        std::memset(out + static_cast<std::size_t>(frame) * 64, 0,
                    static_cast<std::size_t>(frames - frame) * 64); // frames left empty
    }
}

} // namespace

int NEREID_STEIM2_ENCODER(const std::int32_t* x, int count, int frames, std::int32_t diff0,
                          std::uint8_t* out) {
    if (count <= 0 || frames <= 0) {
        std::memset(out, 0, static_cast<std::size_t>(frames > 0 ? frames : 0) * 64);
        return 0;
    }
    // No more differences than the frames can hold are looked at: a word holds 7 at most.
    const int limit = count < frames * kSamplesPerFrame ? count : frames * kSamplesPerFrame;
    // The differences (wrapping, as the C encoder's) and their magnitudes, made as the words
    // reach them, a few dozen at a time: a record of large differences holds far fewer than
    // `limit`. Past the last difference the magnitude is as large as can be, so that no word
    // takes a difference that is not there.
    const auto differenceRoom = static_cast<std::size_t>(limit) + kPadding;
    CScratch<std::int32_t, kLocalDifferences + kPadding> dSpace(differenceRoom);
    CScratch<std::int32_t, kLocalDifferences + kPadding> magSpace(differenceRoom);
    CScratch<std::int32_t, kLocalDifferences + kPadding> takeSpace(differenceRoom);
    std::int32_t* const d = dSpace.Data();
    std::int32_t* const mag = magSpace.Data();
    std::int32_t* const takes = takeSpace.Data();
    d[0] = diff0;
    mag[0] = Magnitude(diff0);
    int magnitudesTo = 1;
    int done = 0; // differences packed
    // Makes d and mag valid below `to` (up to limit + 8).
    const auto need = [&](int to) {
        if (to <= magnitudesTo) {
            return;
        }
        // What the walk has passed is not looked at again.
        magnitudesTo = magnitudesTo > done ? magnitudesTo : done;
        int upto = to > magnitudesTo + kNeedAhead ? to : magnitudesTo + kNeedAhead;
        upto = upto < limit ? upto : limit;
        int k = magnitudesTo;
#if defined(__SSE2__)
        for (; k + 4 <= upto; k += 4) {
            const __m128i v =
                _mm_sub_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(x + k)),
                              _mm_loadu_si128(reinterpret_cast<const __m128i*>(x + k - 1)));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + k), v);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(mag + k),
                             _mm_xor_si128(v, _mm_srai_epi32(v, 31)));
        }
#endif
        for (; k < upto; ++k) {
            d[k] = static_cast<std::int32_t>(static_cast<std::uint32_t>(x[k]) -
                                             static_cast<std::uint32_t>(x[k - 1]));
            mag[k] = Magnitude(d[k]);
        }
        if (upto == limit) {
            for (k = limit; k < limit + kPadding; ++k) {
                d[k] = 0;
                mag[k] = 0x7FFFFFFF;
            }
            upto = limit + kPadding;
        }
        magnitudesTo = upto;
    };
    // Where words do not all hold pairs (large or small differences), the greedy count for
    // the positions ahead, found for several at once: the walk from word to word is then a
    // look-up instead of the whole count's chain of dependent steps.
    int takesFrom = 0;
    int takesTo = 0;
    const auto counts = [&](int from) {
        const int to = from + kTakesAhead < limit ? from + kTakesAhead : limit;
        need(to + 10); // the last four counts look seven ahead
        int k = from;
#if defined(__SSE2__)
        for (; k < to; k += kTakeLanes) {
            const TakeLanes t = GreedyTakes(mag + k);
            std::memcpy(takes + k, &t, sizeof t);
        }
#endif
        for (; k < to; ++k) {
            takes[k] = GreedyTake(mag + k);
        }
        takesFrom = from;
        takesTo = to;
    };
    // The words go one after another into `words`, a record's worth, and only then into the
    // frames: a run of words crosses from frame to frame without a stop. Words whose kind is
    // not 2 (as every pair's and single's is) are listed for the frames' nibble words.
    const int capacity = frames * (kFrameWords - 1) - 2; // X0 and Xn take two words
    const auto wordRoom = static_cast<std::size_t>(capacity);
    CScratch<std::uint8_t, 4 * kLocalWords> wordSpace(4 * wordRoom);
    CScratch<std::uint16_t, kLocalWords> oddSpace(wordRoom);
    CScratch<std::uint8_t, kLocalWords> oddKindSpace(wordRoom);
    std::uint8_t* const words = wordSpace.Data();
    std::uint16_t* const odd = oddSpace.Data();
    std::uint8_t* const oddKind = oddKindSpace.Data();
    int n = 0; // words made
    int oddCount = 0;
    // One word of `take` differences at `done`; its kind listed without a branch, the entry
    // kept only when the kind is not 2.
    const auto emit = [&](int take) {
#if defined(__AVX2__)
        need(done + 8);
        const std::uint32_t word = PackWordFlat(d + done, take);
        const std::uint8_t kind = kWordKind[take];
#else
        std::uint32_t nibble = 2;
        const std::uint32_t word = PackWord(d + done, take, nibble);
        const auto kind = static_cast<std::uint8_t>(nibble);
#endif
        PutBe32(words + 4 * n, word);
        odd[oddCount] = static_cast<std::uint16_t>(n);
        oddKind[oddCount] = kind;
        oddCount += kind != 2 ? 1 : 0;
        ++n;
        done += take;
    };
    bool small = false; // the last word held three differences or more
    // At `done`, a run of pairs (of singles) was just found to end there: the word there is
    // not one.
    bool notPair = false;
    bool notSingle = false;
    while (n < capacity && done < limit) {
        const int left = capacity - n;
        std::uint8_t* const at = words + 4 * n;
        // The count where a run of small differences had it found, else -1.
        int take = done >= takesFrom && done < takesTo ? takes[done] : -1;
        if (take < 0 || take == 1 || take == 2) {
            // Background noise of a few thousand counts makes word after word of two 15-bit
            // differences, an event word after word of one: such runs are packed several
            // words at a time.
#if defined(__AVX2__)
            // Straight from the samples while the record's end is not in sight.
            if (const int most = std::min(left, (limit - done - 2) / 2);
                most >= 4 && take != 1 && !notPair) {
                const int run = PairRun(x, done, diff0, most, at);
                notPair = run < most;
                if (run > 0) {
                    n += run;
                    done += 2 * run;
                    small = false;
                    notSingle = false;
                    continue;
                }
            }
            if (const int most = std::min(left, limit - done - 1); most >= 8 && !notSingle) {
                const int run = SingleRun(x, done, diff0, most, at);
                notSingle = run < most;
                if (run > 0) {
                    n += run;
                    done += run;
                    small = false;
                    notPair = false;
                    continue;
                }
            }
#endif
            const int pairsFit = notPair ? 0 : std::min(left, (limit - done) / 2);
            if (pairsFit > 0 && take != 1) {
                need(done + 2 * pairsFit + 4);
                if (const int run = LeadingPairs(mag + done, pairsFit); run > 0) {
                    PackPairs(d + done, run, at);
                    n += run;
                    done += 2 * run;
                    small = false;
                    notSingle = false;
                    continue;
                }
            }
            const int singlesFit = notSingle ? 0 : std::min(left, limit - done);
            need(done + singlesFit + 4);
            if (const int run = LeadingSingles(mag + done, singlesFit); run > 0) {
                for (int k = 0; k < run; ++k) {
                    PutBe32(at + 4 * k,
                            0x1u << 30 | (static_cast<std::uint32_t>(d[done + k]) & 0x3FFFFFFFu));
                }
                n += run;
                done += run;
                small = false;
                notPair = false;
                continue;
            }
            if (take < 0) {
                need(done + 7);
                take = GreedyTake(mag + done);
                if (take >= 3 && small && done + take < limit) {
                    // A second word of small differences: more are likely to follow, whose
                    // counts are found together.
                    counts(done + take);
                }
            }
        }
#if defined(__AVX2__)
        const bool wasSmall = small;
#endif
        small = take >= 3;
        notPair = false;
        notSingle = false;
        if (take == 0) {
            return -1;
        }
#if defined(__AVX2__)
        if (take >= 3) {
            // Quiet data: word after word of small differences, their counts read from the
            // table ahead, which is refilled as the walk reaches its end. A lone small word
            // among pairs (the word before it not small) gets no table.
            bool refill = wasSmall;
            for (;;) {
                emit(take);
                if (n >= capacity || done >= limit) {
                    break;
                }
                if (done >= takesTo) {
                    if (!refill) {
                        break;
                    }
                    counts(done);
                }
                refill = true;
                take = takes[done];
                // Pairs and singles among small words are packed here too; where they begin
                // a run (four alike), or a step is too large, the walk above decides.
                if (take <= 2 && (take == 0 || done + 3 * take >= takesTo ||
                                  (takes[done + take] == take && takes[done + 2 * take] == take &&
                                   takes[done + 3 * take] == take))) {
                    break;
                }
            }
            continue;
        }
#endif
        emit(take);
    }
    LayFrames(words, n, odd, oddKind, oddCount, frames, static_cast<std::uint32_t>(x[0]),
              static_cast<std::uint32_t>(x[done - 1]), out);
    return done;
}

} // namespace nereid::recording
