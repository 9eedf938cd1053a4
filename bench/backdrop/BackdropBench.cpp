// Time of one backdrop composition (what every size change of the main window costs), from
// the images the program carries. Prints the median and the slowest of several runs.
#include "app/Backdrop.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

void Measure(TBackdrop& backdrop, int width, int height) {
    const int runs = 21;
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        backdrop.Compose(width, height);
        QueryPerformanceCounter(&end);
        times.push_back(Milliseconds(start, end));
    }
    std::sort(times.begin(), times.end());
    std::printf("compose %4d x %4d: median %.2f ms, slowest %.2f ms (%d runs)\n", width, height,
                times[runs / 2], times.back(), runs);
}

} // namespace

int main() {
    TBackdrop backdrop;
    backdrop.LoadImages();
    if (!backdrop.ImagesLoaded()) {
        std::fprintf(stderr, "images not loaded\n");
        return 1;
    }
    Measure(backdrop, 954, 579);
    Measure(backdrop, 3840, 2160);
    return 0;
}
