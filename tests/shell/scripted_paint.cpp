// A stand-in for the user's paint program, started by the editor on the view file. What
// it does is chosen by $SCRIPTED_PAINT:
//   save          stays open a while, paints a red square into the file and saves, then ends
//   quicksave     paints the red square and saves at once, then ends (a fast batch program)
//   nosave        stays open a while and ends without saving
//   handoff       ends at once, as a program that hands the file to a copy already running
//   handoff200    ends after 0.2 s; the copy it handed the file to saves the red square later
//   handoff3000   the same, ending after 3 s
//   savetwice     saves a red square, then a blue one elsewhere, then ends
//   rename        saves the red square into another file and renames it over the view file
//   truncated     saves the first 100 bytes of a painted file, then ends
//   twostep       empties the file, then writes the painted picture into it 0.3 s later (as
//                 programs do that open the file for writing twice), then ends
//   stay          never ends by itself
//   command       paints the red square and saves at once, then runs the shell command in
//                 $SCRIPTED_PAINT_COMMAND with the file as $1 (another program's way of
//                 writing the picture) and ends with its status
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {
std::uint32_t field(const std::vector<char>& b, std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<std::uint8_t>(b[at + static_cast<std::size_t>(i)]);
    return v;
}

// Fills the square of side/8 whose top left corner is at (fx, fy) of the picture's size
// with blue, green, red, and writes the first keep bytes of the result (all of them when
// keep is 0) to out; false when the file is no 24-bit BMP.
bool paint(const char* path, const std::string& out, double fx, double fy, std::uint8_t blue, std::uint8_t green,
           std::uint8_t red, std::size_t keep = 0) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M' || field(b, 28, 2) != 24) return false;
    const std::uint32_t offset = field(b, 10, 4);
    const int width = static_cast<int>(field(b, 18, 4));
    const int height = static_cast<int>(field(b, 22, 4));  // bottom-up
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
    if (width <= 0 || height <= 0 || offset + stride * static_cast<std::size_t>(height) > b.size()) return false;
    const int side = std::max(1, std::min(width, height) / 8);
    const int left = static_cast<int>(fx * width), top = static_cast<int>(fy * height);
    for (int y = top; y < top + side && y < height; ++y)
        for (int x = left; x < left + side && x < width; ++x) {
            char* p = b.data() + offset + static_cast<std::size_t>(height - 1 - y) * stride + static_cast<std::size_t>(x) * 3;
            p[0] = static_cast<char>(blue);
            p[1] = static_cast<char>(green);
            p[2] = static_cast<char>(red);
        }
    std::ofstream file(out, std::ios::binary | std::ios::trunc);
    file.write(b.data(), static_cast<std::streamsize>(keep != 0 ? std::min(keep, b.size()) : b.size()));
    return static_cast<bool>(file);
}

bool paintRed(const char* path) { return paint(path, path, 0.25, 0.25, 0, 0, 255); }

void pause(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

// The copy already running that the file is handed to: it outlives this process and saves
// the red square 0.6 s after this process has ended.
int handOff(const char* path, int exitAfter) {
    const pid_t copy = ::fork();
    if (copy < 0) return 1;
    if (copy == 0) {
        ::setsid();
        pause(exitAfter + 600);
        ::_exit(paintRed(path) ? 0 : 1);
    }
    pause(exitAfter);
    return 0;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const char* mode = std::getenv("SCRIPTED_PAINT");
    const std::string m = mode != nullptr ? mode : "save";
    const char* path = argv[1];
    if (m == "handoff") return 0;
    if (m == "quicksave") return paintRed(path) ? 0 : 1;
    if (m == "command") {
        const char* command = std::getenv("SCRIPTED_PAINT_COMMAND");
        if (command == nullptr || !paintRed(path)) return 1;
        const pid_t child = ::fork();
        if (child < 0) return 1;
        if (child == 0) {
            ::execl("/bin/sh", "sh", "-c", command, "sh", path, static_cast<char*>(nullptr));
            ::_exit(127);
        }
        int status = 0;
        if (::waitpid(child, &status, 0) != child) return 1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
    }
    if (m == "handoff200") return handOff(path, 200);
    if (m == "handoff3000") return handOff(path, 3000);
    pause(800);  // longer than the editor waits to see whether the program stays
    if (m == "save") return paintRed(path) ? 0 : 1;
    if (m == "savetwice") {
        if (!paintRed(path)) return 1;
        pause(300);
        return paint(path, path, 0.625, 0.625, 255, 0, 0) ? 0 : 1;
    }
    if (m == "rename") {
        const std::string staged = std::string(path) + ".saving";
        return paint(path, staged, 0.25, 0.25, 0, 0, 255) && std::rename(staged.c_str(), path) == 0 ? 0 : 1;
    }
    if (m == "truncated") return paint(path, path, 0.25, 0.25, 0, 0, 255, 100) ? 0 : 1;
    if (m == "twostep") {
        const std::string copy = std::string(path) + ".copy";
        if (!paint(path, copy, 0.25, 0.25, 0, 0, 255)) return 1;
        std::ofstream(path, std::ios::binary | std::ios::trunc).close();
        pause(300);
        return std::rename(copy.c_str(), path) == 0 ? 0 : 1;
    }
    if (m == "stay")
        for (;;) pause(1000);
    return 0;
}
