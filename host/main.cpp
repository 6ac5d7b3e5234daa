#include <cstdio>

int main() {
    std::puts("usage: vexlan-host info PLUGIN");
    return 2;
}
