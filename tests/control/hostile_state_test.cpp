// Hostile stored state through the control's load: every record of tests/data/hostile/state
// (made by scripts/make-hostile-corpus: records cut short, garbage, every field out of range)
// is loaded into a fresh control, which is then painted, saved, given a text and painted
// again. The control must stay usable: a loaded picture stays within the load's size limit,
// a record cut short changes nothing, and the first property set draws a symbol that an
// independent decoder reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "encoder/trace.h"
#include "picture/render.h"
#include "tests/control/control_host.h"
#include "tests/support/qr_decode.h"

using namespace gwtest;

namespace {

namespace fs = std::filesystem;

const size_t kBlockBytes = 7160;
// The largest picture side the control draws, from a loaded record as from its properties.
const int kMaxLoadedSide = QRCODE_MAX_RASTER_SIDE;

struct Record {
    std::string name;
    std::vector<BYTE> bytes;
};

std::vector<Record> Records() {
    std::vector<Record> out;
    const fs::path dir = fs::path(GLYPHWELL_TEST_DATA) / "hostile" / "state";
    if (!fs::is_directory(dir)) return out;
    for (const fs::directory_entry& e : fs::directory_iterator(dir)) {
        std::ifstream in(e.path(), std::ios::binary);
        out.push_back({e.path().filename().string(),
                       std::vector<BYTE>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>())});
    }
    std::sort(out.begin(), out.end(), [](const Record& a, const Record& b) { return a.name < b.name; });
    return out;
}

std::string ReadSymbol(ControlRef& c) {
    const GreyImage grey = PaintedGrey(c);
    DecodeResult r = DecodeWithZxing(grey);
    return r.ok ? r.bytes : "<unreadable: " + r.error + ">";
}

class HostileState : public ::testing::Test {
protected:
    // Loading runs the encoder, whose diagnostics about refused records are not wanted here.
    void SetUp() override {
        saved_ = QRCodeTraceStream();
        QRCodeSetTraceStream(nullptr);
    }
    void TearDown() override { QRCodeSetTraceStream(saved_); }
    FILE* saved_ = nullptr;
};

TEST_F(HostileState, EveryRecordLeavesTheControlUsable) {
    const std::vector<Record> records = Records();
    ASSERT_GE(records.size(), 20u) << "corpus missing; run scripts/make-hostile-corpus";
    for (const Record& rec : records) {
        SCOPED_TRACE(rec.name);
        ControlRef c;
        const int freshW = c.Width(), freshH = c.Height();
        LoadState(c.ctrl, rec.bytes);
        const int w = c.Width(), h = c.Height();
        if (rec.bytes.size() < kBlockBytes) {
            // A record cut short is not used: the control is as it was.
            EXPECT_EQ(w, freshW);
            EXPECT_EQ(h, freshH);
        }
        ASSERT_GT(w, 0);
        ASSERT_GT(h, 0);
        EXPECT_LE(w, kMaxLoadedSide);
        EXPECT_LE(h, kMaxLoadedSide);
        if (rec.name == "pixel_23_full.gwc") {
            // The largest symbol at the largest module size the load still draws.
            EXPECT_EQ(w, 177 * 23);
            EXPECT_EQ(h, 177 * 23);
        }
        {
            Canvas canvas(std::min(w, 512), std::min(h, 512));
            canvas.Paint(c.ctrl, w, h);
        }
        // Saving after the load writes a whole block first, whatever was loaded.
        EXPECT_GE(SaveState(c.ctrl).size(), kBlockBytes);

        // With the properties the record gave set back to their defaults, the control draws
        // as a fresh one does.
        ClearProperties(c.disp());
        EXPECT_EQ(PutString(c.disp(), "TextData", "HELLO"), S_OK);
        EXPECT_EQ(ReadSymbol(c), "HELLO");
    }
}

TEST_F(HostileState, AGoodRecordStillLoadsAfterTheHostileOnes) {
    ControlRef source;
    PutI2(source.disp(), "PixelSize", 3);
    PutString(source.disp(), "TextData", "after hostile");
    const std::vector<BYTE> good = SaveState(source.ctrl);
    for (const Record& rec : Records()) {
        SCOPED_TRACE(rec.name);
        ControlRef c;
        LoadState(c.ctrl, rec.bytes);
        LoadState(c.ctrl, good);
        EXPECT_EQ(c.Width(), source.Width());
        EXPECT_EQ(ReadSymbol(c), "after hostile");
    }
}

}  // namespace
