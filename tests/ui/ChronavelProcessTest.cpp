// The program as a child process.
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

namespace {

// Unset, or empty, which counts as unset as it does for Qt.
TEST(ChronavelProcess, WithoutADisplayItSaysSoAndExits)
{
    for (const bool bEmpty : {false, true}) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
            bEmpty ? environment.insert(QString::fromLatin1(name), QString())
                   : environment.remove(QString::fromLatin1(name));
        }
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(CHRONAVEL_EXECUTABLE), {});
        ASSERT_TRUE(program.waitForFinished(30000)) << program.errorString().toStdString();

        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 1) << "empty: " << bEmpty;
        EXPECT_EQ(program.readAllStandardError().toStdString(),
                  "Chronavel needs a graphical display: no DISPLAY or WAYLAND_DISPLAY is set.\n");
        EXPECT_EQ(program.readAllStandardOutput().toStdString(), "");
    }
}

} // namespace
