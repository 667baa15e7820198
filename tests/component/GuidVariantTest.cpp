// Identifiers, variants and colours of the component runtime.

#include "component/AutomationError.h"
#include "component/Color.h"
#include "component/Guid.h"
#include "component/Picture.h"
#include "component/Variant.h"

#include <gtest/gtest.h>

using namespace component;

TEST(Guid, ParsesAndPrintsTheBracedForm) {
    const auto g = Guid::parse(u"{94811aed-7AD8-11D4-9484-F4D213BEC921}");
    ASSERT_TRUE(g);
    EXPECT_EQ(g->data1, 0x94811AEDu);
    EXPECT_EQ(g->data2, 0x7AD8);
    EXPECT_EQ(g->data4[7], 0x21);
    EXPECT_EQ(g->toString(), QStringLiteral("{94811AED-7AD8-11D4-9484-F4D213BEC921}"));
    EXPECT_EQ(Guid::parse(u"94811AED-7AD8-11D4-9484-F4D213BEC921"), g);

    const auto bytes = g->toBytes();
    EXPECT_EQ(bytes[0], 0xED); // first field little-endian
    EXPECT_EQ(bytes[4], 0xD8);
    EXPECT_EQ(bytes[8], 0x94); // last eight bytes as written
    EXPECT_EQ(Guid::fromBytes(bytes.data()), *g);

    for (const char16_t* bad :
         {u"", u"{94811AED-7AD8-11D4-9484-F4D213BEC92}", u"{94811AED-7AD8-11D4-9484-F4D213BEC921",
          u"{94811AED+7AD8-11D4-9484-F4D213BEC921}", u"{94811AEX-7AD8-11D4-9484-F4D213BEC921}"})
        EXPECT_FALSE(Guid::parse(QString::fromUtf16(bad))) << QString::fromUtf16(bad).toStdString();
}

TEST(Variant, DefaultsCompareAsNumbers) {
    // False against 0 is equal (not written); True (-1) against 1 is not.
    EXPECT_TRUE(Variant::boolean(false).equalsForDefault(Variant::integer(0)));
    EXPECT_FALSE(Variant::boolean(true).equalsForDefault(Variant::integer(1)));
    EXPECT_TRUE(Variant::boolean(true).equalsForDefault(Variant::boolean(true)));
    EXPECT_TRUE(Variant::single(3600).equalsForDefault(Variant::integer(3600)));
    EXPECT_FALSE(Variant::single(12).equalsForDefault(Variant::integer(0)));
    EXPECT_TRUE(Variant::longValue(static_cast<std::int32_t>(0x8000000F))
                    .equalsForDefault(Variant::longValue(static_cast<std::int32_t>(0x8000000F))));
    EXPECT_FALSE(Variant::string(QStringLiteral("宋体")).equalsForDefault(Variant::string({})));
    EXPECT_TRUE(Variant::string({}).equalsForDefault(Variant()));
    const Ref<Picture> p = Picture::fromImage(QImage(2, 2, QImage::Format_ARGB32));
    EXPECT_FALSE(Variant::object(p).equalsForDefault(Variant::object({})));
    EXPECT_TRUE(Variant::object(p).equalsForDefault(Variant::object(p)));
    EXPECT_TRUE(Variant::object({}).equalsForDefault(Variant::object({})));
}

TEST(Variant, ConversionsRoundToEvenAndReportOverflowAndMismatch) {
    EXPECT_EQ(Variant::doubleValue(2.5).toInteger(), 2);
    EXPECT_EQ(Variant::doubleValue(3.5).toInteger(), 4);
    EXPECT_EQ(Variant::string(QStringLiteral(" 42 ")).toLong(), 42);
    EXPECT_EQ(Variant::boolean(true).toInteger(), -1);
    EXPECT_TRUE(Variant::string(QStringLiteral("True")).toBool());
    EXPECT_THROW(Variant::longValue(40000).toInteger(), AutomationError);
    EXPECT_THROW(Variant::string(QStringLiteral("abc")).toDouble(), AutomationError);
    try {
        Variant::string(QStringLiteral("abc")).toLong();
        FAIL();
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.number(), 13);
        EXPECT_EQ(e.description(), QStringLiteral("类型不匹配"));
    }
    EXPECT_TRUE(Variant::missing().isMissing());
    EXPECT_FALSE(Variant().isMissing());
}

TEST(Color, SystemReferencesResolveThroughThePalette) {
    EXPECT_EQ(resolveOleColor(0x00C0C0C0), 0x00C0C0C0u);
    EXPECT_EQ(resolveOleColor(0x80000008), systemColor(WindowText));
    EXPECT_EQ(resolveOleColor(0x80000005), systemColor(Window));
    const OleColor old = systemColor(InactiveCaption);
    setSystemColor(InactiveCaption, 0x123456);
    EXPECT_EQ(resolveOleColor(0x80000003), 0x123456u);
    setSystemColor(InactiveCaption, old);
    // 0x00BBGGRR: red in the low byte.
    EXPECT_EQ(toRgb(0x000000FF), qRgb(255, 0, 0));
    EXPECT_EQ(fromRgb(qRgb(0x11, 0x22, 0x33)), 0x00332211u);
    EXPECT_FALSE(isValidOleColor(0x80000040));
    EXPECT_FALSE(isValidOleColor(0x03000000));
    EXPECT_THROW(checkOleColor(0xFF000000), AutomationError);
}

TEST(Picture, HandleAndHimetricExtent) {
    const Ref<Picture> p = Picture::fromImage(QImage(96, 48, QImage::Format_ARGB32));
    EXPECT_NE(p->handle(), 0u);
    EXPECT_DOUBLE_EQ(p->width(), 2540.0);
    EXPECT_DOUBLE_EQ(p->height(), 1270.0);
    EXPECT_EQ(Picture::empty()->handle(), 0u);
    EXPECT_TRUE(Picture::isSet(Variant::object(p)));
    EXPECT_FALSE(Picture::isSet(Variant::object(Picture::empty())));
    EXPECT_FALSE(Picture::isSet(Variant()));
}
