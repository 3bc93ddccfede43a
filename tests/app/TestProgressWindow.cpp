#include "TestMain.h"
#include "app/ProgressWindow.h"

#include <QLabel>

using namespace garrison;

class TestProgressWindow : public QObject {
    Q_OBJECT

    static QString label(const ProgressWindow& window, const char* name)
    {
        return window.findChild<QLabel*>(QLatin1String(name))->text();
    }

private Q_SLOTS:
    void showsStepsAndStartsOverAfterClosing()
    {
        ProgressWindow window;
        QCOMPARE(window.objectName(), QStringLiteral("Loadingfdf"));
        QCOMPARE(window.windowTitle(), QStringLiteral("Wait..."));
        QCOMPARE(label(window, "Label1"),
                 QStringLiteral("Please wait while GARRISON sets up your server... This may take "
                                "a few minutes"));
        QCOMPARE(label(window, "Label2"), QStringLiteral("This window will close when Done!"));
        QCOMPARE(label(window, "Label3"), QStringLiteral("wait..."));

        window.show();
        window.setStep(QStringLiteral("Adding the UCON user..."));
        QCOMPARE(label(window, "Label3"), QStringLiteral("Adding the UCON user..."));
        window.setStep(QStringLiteral("Restarting PunkBuster..."));
        QCOMPARE(window.step(), QStringLiteral("Restarting PunkBuster..."));
        window.close();
        QVERIFY(!window.isVisible());

        window.show();
        QCOMPARE(label(window, "Label3"), QStringLiteral("wait..."));
    }
};

GARRISON_TEST_MAIN(TestProgressWindow)
#include "TestProgressWindow.moc"
