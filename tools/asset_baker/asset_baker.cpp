// Placeholder until the object baker lands: creates the stage's object folder.
#include <cstdio>
int main(int argc, char** argv) {
    if (argc < 2) return 2;
    std::printf("asset_baker: nothing to bake yet in %s\n", argv[1]);
    return 0;
}
