#include "tests/support/test_main.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace talvo::testing {
namespace {

std::map<std::string, TestRun>& Tests() {
    static std::map<std::string, TestRun> tests;
    return tests;
}

}  // namespace

bool RegisterTest(const char* file, TestRun run) {
    std::string name = file;
    name = name.substr(name.find_last_of('/') + 1);
    name = name.substr(0, name.find('.'));
    if (!Tests().emplace(name, run).second) {
        std::fprintf(stderr, "two tests named %s in one program\n", name.c_str());
        std::abort();
    }
    return true;
}

int RunNamedTest(int argc, char** argv) {
    const auto found = argc > 1 ? Tests().find(argv[1]) : Tests().end();
    if (found == Tests().end()) {
        std::fprintf(stderr, "usage: %s TEST [QTest options]; its tests:\n", argv[0]);
        for (const auto& test : Tests()) std::fprintf(stderr, "  %s\n", test.first.c_str());
        return 2;
    }
    // The test sees itself as the program it was before: its name comes first.
    std::vector<char*> args{argv[1]};
    args.insert(args.end(), argv + 2, argv + argc);
    args.push_back(nullptr);
    return found->second(int(args.size()) - 1, args.data());
}

}  // namespace talvo::testing

int main(int argc, char** argv) { return talvo::testing::RunNamedTest(argc, argv); }
