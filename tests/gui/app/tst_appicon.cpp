// The window's icon is the one installed for the desktop: every theme size is compiled in and shows the
// picture, so that a build run from its folder and the installed program look the same.
#include "gui/widgets/Icons.h"

#include <QImage>
#include <QtTest>

class TestAppIcon : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everySizeIsDrawn_data()
    {
        QTest::addColumn<int>("size");
        for (const int size : {16, 22, 24, 32, 48, 64, 128, 256})
            QTest::addRow("%dx%d", size, size) << size;
    }

    void everySizeIsDrawn()
    {
        QFETCH(int, size);
        const QIcon icon = Icons::AppIcon();
        QVERIFY(icon.availableSizes().contains(QSize(size, size)));
        // The picture at that size itself, not a scaled neighbour.
        const QImage image = icon.pixmap(QSize(size, size), 1.0).toImage();
        QCOMPARE(image.size(), QSize(size, size));
        const QImage installed(QStringLiteral("%1/res/icons/hicolor/%2x%2/apps/" LOGWARDEN_APP_ID ".png")
                                   .arg(qEnvironmentVariable("LOGWARDEN_SOURCE_DIR"))
                                   .arg(size));
        QVERIFY(!installed.isNull());
        QCOMPARE(image.convertToFormat(QImage::Format_ARGB32_Premultiplied),
                 installed.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }
};

QTEST_MAIN(TestAppIcon)
#include "tst_appicon.moc"
