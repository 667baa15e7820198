// The dual interface _CButton: early-bound and late-bound calls, dispatch
// ids, notifications and failures, and persistence through a property bag.

#include "TestSupport.h"

#include "buttonctl/AboutBox.h"
#include "buttonctl/CButton.h"

#include <QWidget>

#include <gtest/gtest.h>

using namespace component;
using namespace testsupport;
using knoplux::CButton;

namespace {

class InterfaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        button = CButton::create();
        site = Ref<TestSite>(new TestSite);
        button->SetClientSite(site.get());
        button->InitNew();
    }
    Variant get(const char* name) {
        return invokeByName(button.get(), QString::fromLatin1(name), InvokeKind::PropertyGet);
    }
    void let(const char* name, Variant v) {
        invokeByName(button.get(), QString::fromLatin1(name), InvokeKind::PropertyPut, {v});
    }

    Ref<CButton> button;
    Ref<TestSite> site;
};

TEST_F(InterfaceTest, EveryMemberIsReachableByNameAndId) {
    const auto members = CButton::members();
    QStringList names;
    for (const auto& m : members) {
        if (!names.contains(m.name)) names << m.name;
        DispId id = 0;
        ASSERT_EQ(button->GetIDsOfNames(m.name, id), S_Ok) << m.name.toStdString();
        EXPECT_EQ(id, m.id) << m.name.toStdString();
        DispId lower = 0;
        button->GetIDsOfNames(m.name.toLower(), lower);
        EXPECT_EQ(lower, m.id);
    }
    EXPECT_EQ(names.size(), 57);
    EXPECT_EQ(names.front(), QStringLiteral("About"));
    EXPECT_EQ(names.back(), QStringLiteral("UseFont"));

    // Every property get answers by id, with the value the C++ interface gives.
    for (const auto& m : members) {
        if (m.kind != InvokeKind::PropertyGet) continue;
        Variant r;
        EXPECT_EQ(button->Invoke(m.id, InvokeKind::PropertyGet, {}, &r, nullptr), S_Ok)
            << m.name.toStdString();
    }
    DispId id = 0;
    EXPECT_EQ(button->GetIDsOfNames(QStringLiteral("NoSuchMember"), id), Disp_E_UnknownName);
    EXPECT_EQ(button->Invoke(0x12345, InvokeKind::Method, {}, nullptr, nullptr),
              Disp_E_MemberNotFound);

    EXPECT_EQ(get("Font").toObject().get(), static_cast<IUnknown*>(button->Font().get()));
    DispId fontId = 0;
    button->GetIDsOfNames(QStringLiteral("Font"), fontId);
    EXPECT_EQ(fontId, -512);
    EXPECT_EQ(get("UseFont").type(), VarType::Boolean);
    EXPECT_EQ(get("Caption").toString(), QStringLiteral("Knoplux"));
}

TEST_F(InterfaceTest, ForwardedLetNotifiesItsOwnNameAndGetNotifiesNothing) {
    site->changed.clear();
    EXPECT_EQ(get("DrawWidth").toInteger(), 1);
    EXPECT_TRUE(site->changed.isEmpty());
    let("DrawWidth", Variant::integer(3));
    EXPECT_EQ(button->DrawWidth(), 3);
    ASSERT_EQ(site->changed, QStringList{QStringLiteral("DrawWidth")});
    EXPECT_EQ(site->changedIds.back(), 0x68030022);

    // A value the surface refuses comes back unchanged and notifies nothing.
    site->changed.clear();
    Variant bad[] = {Variant::integer(0)};
    ExcepInfo info;
    EXPECT_EQ(button->Invoke(0x68030022, InvokeKind::PropertyPut, bad, nullptr, &info),
              Ctl_E_InvalidPropertyValue);
    EXPECT_EQ(info.description, QStringLiteral("无效的属性值"));
    EXPECT_TRUE(site->changed.isEmpty());
    EXPECT_EQ(button->DrawWidth(), 3);
    EXPECT_THROW(button->setFillStyle(9), AutomationError);
    EXPECT_TRUE(site->changed.isEmpty());

    let("BackColor", Variant::longValue(0xFF));
    let("FontSize", Variant::single(20));
    EXPECT_EQ(site->changed,
              (QStringList{QStringLiteral("BackColor"), QStringLiteral("FontSize")}));
    EXPECT_FLOAT_EQ(button->Label1->Font()->size(), 20.0f);
}

TEST_F(InterfaceTest, MethodsPassArgumentsAndByReferenceValues) {
    button->widget()->show();
    button->setScaleMode(ScalePixels);
    Variant pset[] = {Variant::single(3), Variant::single(4), Variant::longValue(0x00123456)};
    ASSERT_EQ(button->Invoke(0x60030051, InvokeKind::Method, pset, nullptr, nullptr), S_Ok);
    Variant point[] = {Variant::integer(3), Variant::integer(4)};
    Variant r;
    ASSERT_EQ(button->Invoke(0x6003004F, InvokeKind::Method, point, &r, nullptr), S_Ok);
    EXPECT_EQ(r.toLong(), 0x00123456);
    // By-reference arguments come back in the member's own type.
    EXPECT_EQ(point[0].type(), VarType::Single);

    Variant sx = invokeByName(button.get(), QStringLiteral("ScaleX"), InvokeKind::Method,
                              {Variant::single(2540), Variant::missing(), Variant::integer(1)});
    EXPECT_FLOAT_EQ(sx.toSingle(), 1440.0f);
    EXPECT_EQ(button->Invoke(0x60030055, InvokeKind::Method, {}, nullptr, nullptr),
              Disp_E_ParamNotOptional);

    // No conversation partner exists: the link members keep their values and
    // the link methods fail plainly.
    let("LinkTopic", Variant::string(QStringLiteral("Excel|Sheet1")));
    EXPECT_EQ(button->LinkTopic(), QStringLiteral("Excel|Sheet1"));
    ExcepInfo info;
    EXPECT_EQ(button->Invoke(0x60030047, InvokeKind::Method, {}, nullptr, &info),
              static_cast<HResult>(0x800A0125));
    EXPECT_TRUE(info.description.contains(QStringLiteral("DDE")));
}

TEST_F(InterfaceTest, AboutShowsSystemModalVersionBox) {
    QString text, title;
    int style = -1;
    knoplux::setMessageBoxHandler([&](const QString& t, int s, const QString& ti) {
        text = t;
        style = s;
        title = ti;
        return 1;
    });
    invokeByName(button.get(), QStringLiteral("About"), InvokeKind::Method);
    knoplux::setMessageBoxHandler(nullptr);
    EXPECT_EQ(style, 4096);
    EXPECT_EQ(title, QStringLiteral("Knoplux"));
    EXPECT_TRUE(text.startsWith(QStringLiteral("版本号1.0,")));
}

// ---------------------------------------------------------------- persistence

TEST_F(InterfaceTest, EmptyBagLoadsTheReadDefaults) {
    Ref<TestBag> bag(new TestBag);
    ASSERT_EQ(button->Load(bag.get()), S_Ok);
    EXPECT_EQ(bag->reads.size(), 38);
    EXPECT_EQ(bag->reads.front(), QStringLiteral("BackColor"));
    EXPECT_EQ(bag->reads.back(), QStringLiteral("UseFont"));
    EXPECT_EQ(button->BackColor(), 0x8000000Fu);
    EXPECT_EQ(button->Caption(), QStringLiteral("Knoplux"));
    EXPECT_EQ(button->FontName(), QStringLiteral("宋体"));
    EXPECT_FLOAT_EQ(button->FontSize(), 12.0f);
    EXPECT_EQ(button->ForeColor(), 0x80000008u);
    EXPECT_TRUE(button->Enabled());
    EXPECT_TRUE(button->AutoSize());
    EXPECT_FALSE(button->AutoTop());
    EXPECT_FALSE(button->UseFont());
    // The caption's font starts from the ambient font but does not change it.
    EXPECT_GE(site->ambientReads, 1);
    EXPECT_NE(button->Font().get(), site->ambientFont.get());
    EXPECT_EQ(site->ambientFont->name(), QStringLiteral("Arial"));
}

TEST_F(InterfaceTest, NewControlSavedAtOnceWritesOnlyWhatDiffers) {
    Ref<TestBag> bag(new TestBag);
    ASSERT_EQ(button->Save(bag.get(), true, false), S_Ok);
    EXPECT_EQ(bag->value(QStringLiteral("BackColor")).type(), VarType::Long);
    EXPECT_EQ(bag->value(QStringLiteral("BackColor")).toLong(), 0x00C0C0C0);
    EXPECT_TRUE(bag->has(QStringLiteral("FontSize")));
    EXPECT_EQ(bag->value(QStringLiteral("FontSize")).type(), VarType::Single);
    EXPECT_TRUE(bag->has(QStringLiteral("FontName")));
    EXPECT_EQ(bag->value(QStringLiteral("AutoSize")).type(), VarType::Boolean);
    EXPECT_TRUE(bag->value(QStringLiteral("AutoSize")).toBool());
    for (const char* absent : {"Caption", "AutoTop", "UseFont", "FontBold", "FontItalic",
                               "FontStrikethru", "FontUnderline", "Enabled", "Picture", "DrawMode"})
        EXPECT_FALSE(bag->has(QString::fromLatin1(absent))) << absent;

    // Written keys keep the table's order.
    QStringList order;
    for (const auto& e : bag->entries)
        order << e.first;
    EXPECT_LT(order.indexOf(QStringLiteral("BackColor")),
              order.indexOf(QStringLiteral("FontName")));
    EXPECT_LT(order.indexOf(QStringLiteral("FontName")), order.indexOf(QStringLiteral("AutoSize")));

    button->setAutoTop(true);
    button->setFontBold(true);
    button->setCaption(QStringLiteral("确定"));
    Ref<TestBag> bag2(new TestBag);
    button->Save(bag2.get(), true, false);
    EXPECT_TRUE(bag2->value(QStringLiteral("AutoTop")).toBool());
    EXPECT_TRUE(bag2->value(QStringLiteral("FontBold")).toBool());
    EXPECT_EQ(bag2->value(QStringLiteral("Caption")).toString(), QStringLiteral("确定"));

    // What was saved loads back into a fresh control.
    Ref<CButton> copy = CButton::create();
    copy->SetClientSite(site.get());
    ASSERT_EQ(copy->Load(bag2.get()), S_Ok);
    EXPECT_EQ(copy->Caption(), QStringLiteral("确定"));
    EXPECT_TRUE(copy->FontBold());
    EXPECT_TRUE(copy->AutoTop());
    EXPECT_EQ(copy->BackColor(), 0x00C0C0C0u);
}

TEST_F(InterfaceTest, PictureKeyFollowsTheSurfacePicture) {
    QImage img(16, 16, QImage::Format_ARGB32);
    img.fill(qRgb(0, 0, 200));
    button->widget()->show();
    button->setPicture(Picture::fromImage(img));

    button->setUseFont(true);
    Ref<TestBag> text(new TestBag);
    button->Save(text.get(), true, false);
    EXPECT_FALSE(text->has(QStringLiteral("Picture")));
    EXPECT_TRUE(text->value(QStringLiteral("UseFont")).toBool());

    button->setUseFont(false);
    button->setEnabled(false);
    Ref<TestBag> disabled(new TestBag);
    button->Save(disabled.get(), true, false);
    const Picture* saved = Picture::from(disabled->value(QStringLiteral("Picture")));
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved, Picture::from(button->DisabledPicture));
    EXPECT_FALSE(disabled->value(QStringLiteral("Enabled")).toBool());
}

TEST_F(InterfaceTest, RefusingBagStopsAtItsKey) {
    Ref<TestBag> bag(new TestBag);
    bag->entries = {{QStringLiteral("BackColor"), Variant::longValue(0xFF)},
                    {QStringLiteral("Caption"), Variant::string(QStringLiteral("甲"))},
                    {QStringLiteral("DrawWidth"), Variant::integer(4)}};
    bag->refuse = QStringLiteral("DrawMode");
    EXPECT_TRUE(failed(button->Load(bag.get())));
    EXPECT_EQ(bag->reads.back(), QStringLiteral("DrawMode"));
    EXPECT_EQ(button->BackColor(), 0xFFu);
    EXPECT_EQ(button->Caption(), QStringLiteral("甲"));
    EXPECT_EQ(button->DrawWidth(), 1); // after the refused key: untouched

    Ref<TestBag> out(new TestBag);
    out->refuse = QStringLiteral("FontSize");
    EXPECT_TRUE(failed(button->Save(out.get(), true, false)));
    EXPECT_EQ(out->writes.back(), QStringLiteral("FontSize"));
    EXPECT_FALSE(out->has(QStringLiteral("AutoSize")));
    EXPECT_TRUE(out->has(QStringLiteral("FontName")));
}

TEST_F(InterfaceTest, AmbientFontIsReadAfreshEachTime) {
    Ref<TestBag> bag(new TestBag);
    button->Load(bag.get());
    site->ambientFont = Font::create({QStringLiteral("黑体"), 14.0f});
    const int before = site->ambientReads;
    Ref<TestBag> out(new TestBag);
    button->Save(out.get(), true, false);
    EXPECT_EQ(site->ambientReads, before + 1);
    EXPECT_TRUE(out->has(QStringLiteral("Font")));
}

TEST_F(InterfaceTest, LoadingSetsOwnPropertiesQuietlyAndRunsPictureHandling) {
    Ref<TestSink> sink(new TestSink);
    std::uint32_t cookie = 0;
    button->eventSource().Advise(sink.get(), cookie);
    QImage img(20, 10, QImage::Format_ARGB32);
    img.fill(qRgb(10, 20, 30));
    Ref<TestBag> bag(new TestBag);
    bag->entries = {{QStringLiteral("Picture"), Variant::object(Picture::fromImage(img))},
                    {QStringLiteral("AutoSize"), Variant::boolean(false)},
                    {QStringLiteral("UseFont"), Variant::integer(-1)},
                    {QStringLiteral("Enabled"), Variant::boolean(false)}};
    site->changed.clear();
    ASSERT_EQ(button->Load(bag.get()), S_Ok);
    EXPECT_FALSE(button->AutoSize());
    EXPECT_TRUE(button->UseFont());
    EXPECT_FALSE(button->Enabled());
    // Only the object keys read through the control's own properties notify.
    EXPECT_FALSE(site->changed.contains(QStringLiteral("AutoSize")));
    EXPECT_FALSE(site->changed.contains(QStringLiteral("UseFont")));
    EXPECT_FALSE(site->changed.contains(QStringLiteral("Enabled")));
    EXPECT_TRUE(site->changed.contains(QStringLiteral("Picture")));
    EXPECT_TRUE(site->changed.contains(QStringLiteral("MaskPicture")));
    // The picture handling ran: normal and disabled pictures exist, Change was raised.
    EXPECT_TRUE(Picture::isSet(button->NormalPicture));
    EXPECT_TRUE(Picture::isSet(button->DisabledPicture));
    EXPECT_EQ(sink->count(knoplux::EventChange), 1);
}

TEST(InterfaceLifetime, CallsAfterTheContainerDestroyedTheWindowFailCleanly) {
    Ref<CButton> button = CButton::create();
    auto* host = new QWidget;
    button->widget()->setParent(host);
    delete host; // the container's window goes first
    EXPECT_EQ(button->widget(), nullptr);
    Variant r;
    EXPECT_EQ(button->Invoke(0x68030022, InvokeKind::PropertyGet, {}, &r, nullptr),
              static_cast<HResult>(0x80010108));
}

} // namespace
