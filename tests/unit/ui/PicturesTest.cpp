// The drawn pictures: sizes as the windows lay them out, every shape inside its picture, and
// gauges whose needles point the way their impact says.

#include <gtest/gtest.h>

#include "ui/Pictures.h"
#include "ui/frmAdvanced.h"

namespace {

void ExpectInside(const Drawing& d, const char* what) {
    ASSERT_FALSE(d.shapes.empty()) << what;
    for (const DrawShape& s : d.shapes) {
        const double margin = s.kind == DrawShape::Kind::Polyline ? s.penWidth / 2 : 0;
        for (const PointF& p : s.points) {
            EXPECT_GE(p.x - margin, -0.01) << what;
            EXPECT_GE(p.y - margin, -0.01) << what;
            EXPECT_LE(p.x + margin, d.width + 0.01) << what;
            EXPECT_LE(p.y + margin, d.height + 0.01) << what;
        }
    }
}

// The needle is the one triangle whose tip lies farthest from the hub.
PointF NeedleTip(const Drawing& d) {
    PointF tip{27, 28};
    double best = 0;
    for (const DrawShape& s : d.shapes) {
        if (s.kind != DrawShape::Kind::Polygon) continue;
        for (const PointF& p : s.points) {
            const double dx = p.x - 27, dy = p.y - 28;
            if (dx * dx + dy * dy > best) {
                best = dx * dx + dy * dy;
                tip = p;
            }
        }
    }
    return tip;
}

}  // namespace

TEST(PicturesTest, EveryPictureHasItsSizeAndStaysInsideIt) {
    using namespace pictures;
    for (Symbol s : {Symbol::SelectAll, Symbol::UnselectAll, Symbol::Export, Symbol::Run,
                     Symbol::Save, Symbol::Exit}) {
        const Drawing d = ButtonSymbol(s);
        EXPECT_EQ(d.width, s == Symbol::Run ? 40 : 54);
        EXPECT_EQ(d.height, 59);
        EXPECT_EQ(d.background, kAccent);
        ExpectInside(d, "button");
    }
    const Drawing warning = WarningSign();
    EXPECT_EQ(warning.width, 93);
    EXPECT_EQ(warning.height, 91);
    ExpectInside(warning, "warning");
    ExpectInside(Splash(480, 300), "splash");
}

TEST(PicturesTest, GaugeNeedlesPointRightLeftAndUp) {
    using namespace pictures;
    const PointF high = NeedleTip(Gauge(Needle::Right));
    const PointF low = NeedleTip(Gauge(Needle::Left));
    const PointF medium = NeedleTip(Gauge(Needle::Up));
    EXPECT_GT(high.x, 40);
    EXPECT_LT(low.x, 14);
    EXPECT_NEAR(medium.x, 27, 1);
    EXPECT_LT(medium.y, 12);
    for (Needle n : {Needle::Right, Needle::Left, Needle::Up}) {
        EXPECT_EQ(Gauge(n).width, 54);
        EXPECT_EQ(Gauge(n).height, 32);
        ExpectInside(Gauge(n), "gauge");
    }
}

TEST(RowNumberTest, PlainNumbersAndConversions) {
    using editor::PlainNumber;
    EXPECT_EQ(PlainNumber("0"), 0);
    EXPECT_EQ(PlainNumber("7"), 7);
    EXPECT_EQ(PlainNumber("-32768"), -32768);
    EXPECT_EQ(PlainNumber("32767"), 32767);
    for (const char* text : {"", "-", "07", "00", "-0", "+7", " 7", "7 ", "32768", "-32769",
                             "1e3", "7.0", "abc", "0x10", "1234567"}) {
        EXPECT_FALSE(PlainNumber(text)) << text;
    }
    using editor::RowNumber;
    EXPECT_EQ(RowNumber("07"), 7);
    EXPECT_EQ(RowNumber(" 7 "), 7);
    EXPECT_EQ(RowNumber("+7"), 7);
    EXPECT_EQ(RowNumber("-40000"), -40000);
    EXPECT_EQ(RowNumber("abc"), 0);
    EXPECT_EQ(RowNumber("99999999999"), 0);
    EXPECT_EQ(RowNumber(""), 0);
    using editor::NumberValue;
    EXPECT_EQ(NumberValue("07"), 7.0);
    EXPECT_EQ(NumberValue(" -2.5 "), -2.5);
    EXPECT_FALSE(NumberValue("abc"));
    EXPECT_FALSE(NumberValue("inf"));
    EXPECT_FALSE(NumberValue("nan"));
    EXPECT_FALSE(NumberValue("0x1A"));
    EXPECT_FALSE(NumberValue("1e999"));
    EXPECT_FALSE(NumberValue(""));
}
