#pragma once
// One test program per folder and still one CTest entry per test class: a
// test file ends in TALVO_TEST_MAIN(Class) or TALVO_TEST_GUILESS_MAIN(Class)
// where a program of its own would end in QTEST_MAIN or QTEST_GUILESS_MAIN,
// and the folder's program runs the test its first argument names (the
// file's name without .cpp, which is also the CTest name).

#include <QCoreApplication>
#include <QTest>
#if defined(QT_WIDGETS_LIB)
#include <QApplication>
#elif defined(QT_GUI_LIB)
#include <QGuiApplication>
#endif

namespace talvo::testing {

using TestRun = int (*)(int argc, char** argv);
bool RegisterTest(const char* file, TestRun run);

// What QTEST_MAIN's main does, with the same application as it would make.
template <class Test, class Application>
int RunTest(int argc, char** argv, const char* file) {
    QTest::Internal::callInitMain<Test>();
    Application app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    Test test;
    QTest::setMainSourcePath(file);
    return QTest::qExec(&test, argc, argv);
}

#if defined(QT_WIDGETS_LIB)
using TestApplication = QApplication;
#elif defined(QT_GUI_LIB)
using TestApplication = QGuiApplication;
#else
using TestApplication = QCoreApplication;
#endif

}  // namespace talvo::testing

#define TALVO_TEST_REGISTER(TestObject, Application)                                         \
    [[maybe_unused]] static const bool talvo_test_registered =                               \
        ::talvo::testing::RegisterTest(__FILE__, [](int argc, char** argv) {                 \
            return ::talvo::testing::RunTest<TestObject, Application>(argc, argv, __FILE__); \
        });
#define TALVO_TEST_MAIN(TestObject) \
    TALVO_TEST_REGISTER(TestObject, ::talvo::testing::TestApplication)
#define TALVO_TEST_GUILESS_MAIN(TestObject) TALVO_TEST_REGISTER(TestObject, QCoreApplication)
