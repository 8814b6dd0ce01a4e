#include "ui/window_geometry.h"

#include "common/gbk.h"
#include "common/ini_file.h"

#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <array>
#include <functional>

#include <memory>
#include <vector>

#ifdef Q_OS_LINUX
#include <sys/inotify.h>
#include <unistd.h>
#endif

namespace {

// A form like the program's: controls placed by hand in the client area.
struct Place
{
    enum Kind { Label, Edit, Button } kind;
    QString name;
    QRect rect;
};

const std::vector<Place> designedPlaces {
    {Place::Label, QStringLiteral("标签1"), QRect(15, 24, 80, 24)},
    {Place::Edit, QStringLiteral("编辑框1"), QRect(100, 19, 180, 32)},
    {Place::Edit, QStringLiteral("编辑框2"), QRect(375, 62, 180, 32)},
    {Place::Button, QStringLiteral("按钮1"), QRect(272, 256, 80, 40)},
};

QWidget *makeControl(Place::Kind kind, QWidget *parent)
{
    switch (kind) {
    case Place::Label:
        return new QLabel(parent);
    case Place::Edit:
        return new QLineEdit(parent);
    case Place::Button:
        break;
    }
    return new QPushButton(parent);
}

class Form : public QDialog
{
public:
    Form(const QString &configPath, int windowNumber)
    {
        for (const Place &place : designedPlaces) {
            QWidget *control = makeControl(place.kind, this);
            control->setObjectName(place.name);
            control->setGeometry(place.rect);
        }
        // A window of its own that belongs to the form: not a control.
        popup = new QDialog(this);
        popup->setGeometry(40, 40, 200, 100);
        WindowGeometry::attach(this, IniFile(configPath), windowNumber);
    }

    QWidget *control(const QString &name) const { return findChild<QWidget *>(name); }

    QDialog *popup = nullptr;
};

class WindowGeometryTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    QString configPath() const { return dir.filePath(QStringLiteral("config.ini")); }
    QString read(const QString &key) const
    {
        return IniFile(configPath()).read(key, key, QStringLiteral("(absent)"));
    }
    // The four values of a window as a rectangle; an absent key reads -1.
    QRect stored(int window) const
    {
        const QString prefix = QStringLiteral("ck%1").arg(window);
        auto value = [&](char16_t suffix) {
            const QString text = read(prefix + suffix);
            return text == u"(absent)" ? -1 : text.toInt();
        };
        return QRect(value(u'z'), value(u'd'), value(u'k'), value(u'g'));
    }
    QByteArray bytes() const
    {
        QFile file(configPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void writeBytes(const QByteArray &contents)
    {
        QFile file(configPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }
    std::unique_ptr<Form> open(int windowNumber = 1)
    {
        auto form = std::make_unique<Form>(configPath(), windowNumber);
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        return form;
    }
    QTemporaryDir dir;
};

TEST_F(WindowGeometryTest, FirstRunAppliesTheDefaultsAndWritesThemAtOnce)
{
    const std::vector<QRect> defaults {
        QRect(100, 100, 600, 550), QRect(100, 100, 800, 650), QRect(100, 100, 600, 340)};
    for (int window = 1; window <= 3; ++window) {
        SCOPED_TRACE(window);
        EXPECT_EQ(stored(window), QRect(-1, -1, -1, -1));
        Form form(configPath(), window);
        const QRect screen = form.screen()->availableGeometry();
        const QRect written = stored(window);
        // Written with the window, before it is even shown; a default larger
        // than a small screen is fitted to it.
        if (screen.contains(defaults[window - 1])) {
            EXPECT_EQ(written, defaults[window - 1]);
        }
        EXPECT_TRUE(screen.contains(written)) << written.x() << "," << written.width();
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        // The outer frame, not the client area, has the stored size.
        EXPECT_EQ(form.frameGeometry(), written);
    }
}

TEST_F(WindowGeometryTest, ControlsStretchWithTheClientArea)
{
    auto form = open();
    const QSize designed = WindowGeometry::designedClientSize(1);

    // At the designed client size every control is where the form put it.
    form->resize(designed);
    for (const Place &place : designedPlaces)
        EXPECT_EQ(form->control(place.name)->geometry(), place.rect) << place.name.toStdString();

    // Twice the designed width doubles every x and width, and nothing else.
    form->resize(designed.width() * 2, designed.height());
    for (const Place &place : designedPlaces) {
        const QRect &d = place.rect;
        EXPECT_EQ(form->control(place.name)->geometry(),
            QRect(d.x() * 2, d.y(), d.width() * 2, d.height()))
            << place.name.toStdString();
    }
    // A window owned by the form is no control.
    EXPECT_EQ(form->popup->geometry(), QRect(40, 40, 200, 100));

    // Resizing saved the frame as it now is, and the next opening restores it
    // (at a size that fits the screen: a larger one would be fitted to it).
    form->resize(designed.width() + 40, designed.height() - 30);
    const QRect frame = form->frameGeometry();
    form->hide();
    EXPECT_EQ(stored(1), frame);
    EXPECT_EQ(open()->frameGeometry(), frame);
}

TEST_F(WindowGeometryTest, MovingRewritesOnlyLeftAndTop)
{
    // Hand-written, with blanks a rewrite would not keep.
    const QByteArray sizeLines = "[ck1k]\r\nck1k = 600 \r\n[ck1g]\r\nck1g =  550\r\n";
    writeBytes("[ck1z]\r\nck1z=100\r\n[ck1d]\r\nck1d=100\r\n" + sizeLines);

    auto form = open();
    form->move(250, 180);
    form->hide();

    EXPECT_EQ(read("ck1z"), "250");
    EXPECT_EQ(read("ck1d"), "180");
    EXPECT_TRUE(bytes().endsWith(sizeLines)) << bytes().toStdString();
}

TEST_F(WindowGeometryTest, ValuesThatAreNotNumbersReadAsZero)
{
    // Full-width digits count as digits; only the leading number counts, in
    // whole pixels.
    writeBytes(Gbk::encode(u"[ck1z]\r\nck1z=abc\r\n[ck1d]\r\nck1d=12.9\r\n"
                           u"[ck1k]\r\nck1k=７００\r\n[ck1g]\r\nck1g=480px\r\n"));

    auto form = open();
    EXPECT_EQ(form->frameGeometry(), QRect(0, 12, 700, 480));
    // What was applied is what the file now says.
    EXPECT_EQ(stored(1), QRect(0, 12, 700, 480));
}

TEST_F(WindowGeometryTest, OpeningAndClosingWithoutAChangeKeepsTheFile)
{
    // Stored values the window has never had before, and the first-run
    // defaults: neither may drift by the frame from one opening to the next.
    writeBytes("[ck2z]\r\nck2z=123\r\n[ck2d]\r\nck2d=77\r\n[ck2k]\r\nck2k=640\r\n[ck2g]\r\nck2g="
               "480\r\n");
    const QByteArray before = bytes();
    for (int round = 0; round < 3; ++round) {
        auto form = open(2);
        EXPECT_EQ(form->frameGeometry(), QRect(123, 77, 640, 480));
        form->hide();
        EXPECT_EQ(bytes(), before) << "opening " << round + 1;
    }

    QFile::remove(configPath());
    open(3)->hide();
    const QByteArray defaults = bytes();
    ASSERT_FALSE(defaults.isEmpty());
    open(3)->hide();
    EXPECT_EQ(bytes(), defaults);
}

TEST_F(WindowGeometryTest, TheEndOfADragIsWrittenWhenTheWindowGoes)
{
    auto form = open();
    for (int x = 101; x <= 160; ++x)
        form->move(x, x / 2);
    // Closed within the pause that collects a drag.
    form->hide();
    EXPECT_EQ(stored(1).topLeft(), QPoint(160, 80));

    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    form->setGeometry(300, 200, 700, 500);
    const QRect frame = form->frameGeometry();
    // Destroyed while still shown.
    form.reset();
    EXPECT_EQ(stored(1), frame);
}

TEST_F(WindowGeometryTest, StoredValuesOffTheScreenAreBroughtBackAndNotKept)
{
    // Far off, too large, negative, and a corner just past the right and
    // bottom edges, as a config.ini from a larger screen would have.
    const std::vector<std::array<const char *, 4>> cases {
        {"-99999", "99999999999", "99999999999", "-5"},
        {"700", "500", "400", "300"},
        {"-30", "-20", "300", "200"},
    };
    for (const auto &values : cases) {
        SCOPED_TRACE(values[0]);
        writeBytes(QByteArray("[ck1z]\r\nck1z=") + values[0] + "\r\n[ck1d]\r\nck1d=" + values[1]
            + "\r\n[ck1k]\r\nck1k=" + values[2] + "\r\n[ck1g]\r\nck1g=" + values[3] + "\r\n");
        auto form = open();
        const QRect screen = form->screen()->availableGeometry();
        const QRect frame = form->frameGeometry();
        EXPECT_TRUE(screen.contains(frame))
            << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height();
        EXPECT_GE(frame.height(), 100);
        form->hide();
        EXPECT_EQ(stored(1), frame);
        EXPECT_FALSE(bytes().contains("99999")) << bytes().toStdString();
    }
    // A window that fits keeps its size when it is moved in.
    EXPECT_EQ(stored(1).size(), QSize(300, 200));
}

#ifdef Q_OS_LINUX
// How often config.ini is opened while `action` runs, as the kernel saw it.
int opensOfConfig(const QString &folder, const std::function<void()> &action)
{
    const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    EXPECT_GE(fd, 0);
    EXPECT_GE(inotify_add_watch(fd, QFile::encodeName(folder).constData(), IN_OPEN), 0);
    action();
    int opens = 0;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
        for (char *p = buffer; p < buffer + n;) {
            const auto *event = reinterpret_cast<const inotify_event *>(p);
            if (event->len > 0 && QByteArray(event->name) == "config.ini")
                ++opens;
            p += sizeof(inotify_event) + event->len;
        }
    }
    ::close(fd);
    return opens;
}

TEST_F(WindowGeometryTest, OpeningAWindowReadsConfigIniOnce)
{
    writeBytes("[ck1z]\r\nck1z=100\r\n[ck1d]\r\nck1d=100\r\n[ck1k]\r\nck1k=600\r\n[ck1g]"
               "\r\nck1g=550\r\n");
    EXPECT_EQ(opensOfConfig(dir.path(), [&] { Form form(configPath(), 1); }), 1);
}
#endif

} // namespace
