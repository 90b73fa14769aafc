// Two threads write one plain int without a lock. Built only in the ThreadSanitizer tree, where
// the CI step runs it and demands a race report: a tree built without the sanitizer would stay
// silent here, and so would every threaded test run in it.
#include <cstdio>
#include <thread>

namespace {
int shared_counter = 0;  // deliberately unguarded

void Bump() {
    for (int i = 0; i < 1000; ++i) {
        shared_counter = shared_counter + 1;
    }
}
}  // namespace

int main() {
    std::thread a(Bump);
    std::thread b(Bump);
    a.join();
    b.join();
    std::printf("%d\n", shared_counter);
    return 0;
}
