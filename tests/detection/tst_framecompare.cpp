#include "detection/FrameCompare.h"

#include <QTest>

#include <cstdint>
#include <random>
#include <vector>

using namespace vigilux::detection;
using FrameCompare::Variant;

namespace {

// The definition, written out as plainly as possible.
std::uint64_t reference(const std::vector<uchar>& frame, const std::vector<uchar>& previous,
                        int tolerance) {
    std::uint64_t unchanged = 0;
    for (std::size_t i = 0; i < frame.size(); ++i)
        if (std::abs(int(frame[i]) - int(previous[i])) <= tolerance)
            ++unchanged;
    return unchanged;
}

const Variant kVariants[] = {Variant::Scalar, Variant::Sse2, Variant::Avx2};

const char* name(Variant v) {
    switch (v) {
    case Variant::Scalar:
        return "scalar";
    case Variant::Sse2:
        return "sse2";
    case Variant::Avx2:
        return "avx2";
    }
    return "?";
}

} // namespace

class TestFrameCompare : public QObject {
    Q_OBJECT

private slots:
    void variantsAgreeWithDefinition_data() {
        QTest::addColumn<int>("variant");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("frameOffset");
        QTest::addColumn<int>("previousOffset");
        // Lengths around the 16-, 32- and 64-byte strides and past one
        // 255-iteration counter block, at odd offsets.
        const int lengths[] = {0, 1, 15, 16, 17, 31, 33, 63, 64, 65, 127, 1000, 16411, 70001};
        for (Variant v : kVariants) {
            if (!FrameCompare::supported(v))
                continue;
            for (int n : lengths)
                for (int off : {0, 3})
                    QTest::addRow("%s n=%d off=%d", name(v), n, off)
                        << int(v) << n << off << (off ? 7 : 0);
        }
    }

    // Random frames whose differences spread over the whole 0..255 range, so
    // every tolerance splits them somewhere; the previous frame must become
    // the frame in every case.
    void variantsAgreeWithDefinition() {
        QFETCH(int, variant);
        QFETCH(int, length);
        QFETCH(int, frameOffset);
        QFETCH(int, previousOffset);
        const auto n = static_cast<std::size_t>(length);

        std::mt19937 random(static_cast<unsigned>(length * 31 + frameOffset));
        std::vector<uchar> frameStore(n + 8);
        std::vector<uchar> previousStore(n + 8);
        for (auto& b : frameStore)
            b = static_cast<uchar>(random());
        for (auto& b : previousStore)
            b = static_cast<uchar>(random());
        std::vector<uchar> frame(frameStore.begin() + frameOffset,
                                 frameStore.begin() + frameOffset + length);

        for (int tolerance = 0; tolerance <= 255; ++tolerance) {
            std::vector<uchar> previous(previousStore.begin() + previousOffset,
                                        previousStore.begin() + previousOffset + length);
            const std::uint64_t expected = reference(frame, previous, tolerance);
            // Run on the unaligned views inside the stores.
            std::vector<uchar> work = previousStore;
            const std::uint64_t got = FrameCompare::compareCopy(
                Variant(variant), frameStore.data() + frameOffset, work.data() + previousOffset, n,
                static_cast<uchar>(tolerance));
            QCOMPARE(got, expected);
            QVERIFY(std::equal(frame.begin(), frame.end(), work.begin() + previousOffset));
            // Bytes around the range stay untouched.
            QVERIFY(std::equal(work.begin(), work.begin() + previousOffset, previousStore.begin()));
            QVERIFY(std::equal(work.begin() + previousOffset + length, work.end(),
                               previousStore.begin() + previousOffset + length));
        }
    }

    // Long identical runs make every lane count on every iteration: the 8-bit
    // lane counters must be folded before they wrap.
    void longIdenticalRunsDoNotWrapCounters() {
        const std::size_t n = 64 * 255 * 3 + 45;
        std::vector<uchar> frame(n, 42);
        for (Variant v : kVariants) {
            if (!FrameCompare::supported(v))
                continue;
            std::vector<uchar> previous(n, 42);
            QCOMPARE(FrameCompare::compareCopy(v, frame.data(), previous.data(), n, 0),
                     std::uint64_t(n));
            std::vector<uchar> far(n, 0);
            QCOMPARE(FrameCompare::compareCopy(v, frame.data(), far.data(), n, 41), 0u);
            QCOMPARE(FrameCompare::compareCopy(v, frame.data(), far.data(), n, 0),
                     std::uint64_t(n));
        }
    }

    void detectorEntryClampsTolerance() {
        std::vector<uchar> frame{0, 255, 7, 200};
        std::vector<uchar> previous{255, 0, 7, 100};
        QCOMPARE(FrameCompare::compareCopy(frame.data(), previous.data(), 4, -1), 0u);
        QCOMPARE(previous, frame);
        previous = {255, 0, 7, 100};
        QCOMPARE(FrameCompare::compareCopy(frame.data(), previous.data(), 4, 1000), 4u);
        QCOMPARE(previous, frame);
    }

    void bestVariantIsSupported() { QVERIFY(FrameCompare::supported(FrameCompare::best())); }
};

QTEST_GUILESS_MAIN(TestFrameCompare)
#include "tst_framecompare.moc"
