// Decoder benchmark.
//   jpegbench [DIR]    every *.jpg in DIR (default: $JPEGBENCH_DIR, else the
//                      shared photo folder beside the repository), single-threaded:
//                      median megapixels per second of our decoder, libjpeg-turbo
//                      (accurate transform, BGR out) and stb_image, our ratio to
//                      each, and the peak memory of our decoder.
//                      Then, per photo, the decodes at 1/2, 1/4 and 1/8:
//                      ours and libjpeg-turbo's scaled decode taking turns,
//                      median megapixels per second of output and of input,
//                      and the PSNR of our reduced picture against the k x k
//                      means of our full-size one.
//   jpegbench FILE N [SCALE]
//                      FILE decoded once untimed, then N times (at 1/SCALE,
//                      default 1), one line "decode_ms <milliseconds>" per
//                      timed decode.
// $JPEGBENCH_RUNS sets the timed runs per decoder and photo (default 7).
// Output memory is warm by default: every decoder allocates its output on
// every run, but freed blocks stay in the process, so the time is the
// decoder's (ours still pays for zero-filling its block). $JPEGBENCH_COLD=1
// gives every run fresh pages from the system instead, page faults included.
#include <malloc.h>
#include <spawn.h>
#include <stb/stb_image.h>
#include <sys/wait.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "jpeg/jpeg_decoder.h"
#include "base/dib_image.h"

extern char** environ;

namespace {

// The file followed by the zero padding the decoder's bit reader may look into.
bool ReadPadded(const std::string& path, std::vector<uint8_t>* bytes, uint32_t* size) {
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file) return false;
    const std::streamoff length = file.tellg();
    if (length < 0 || length > 0x7FFF0000) return false;
    *size = static_cast<uint32_t>(length);
    bytes->assign(*size + kJpegInputPadding, 0);
    file.seekg(0);
    return static_cast<bool>(file.read(reinterpret_cast<char*>(bytes->data()), length));
}

// The product's global blocks are zero-filled; calloc is their counterpart here.
void* AllocateZeroed(void*, size_t bytes) { return calloc(1, bytes); }
void Release(void*, void* memory) { free(memory); }
const JpegOutputAllocator kHeapAllocator = {AllocateZeroed, Release, nullptr};

struct Picture {
    int width = 0, height = 0;
};

// Our decoder on one file image at 1/scale; the picture is released at once
// unless `keep` asks for it (the caller frees it then).
JpegResult DecodeOurs(const std::vector<uint8_t>& bytes, uint32_t size, Picture* picture, int scale = 1,
                      void** keep = nullptr) {
    void* image = nullptr;
    const JpegResult result = DecodeJpegMemory(bytes.data(), size, kHeapAllocator, &image, JPEG_DECODE_FAST, scale);
    if (result == JPEG_OK) {
        DibHeader header;
        std::memcpy(&header, image, sizeof header);
        picture->width = header.biWidth;
        picture->height = header.biHeight;
        if (keep)
            *keep = image;
        else
            free(image);
    }
    return result;
}

double MillisecondsOf(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
    return elapsed.count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The decoders take turns, one run each per round, so that a busy moment of
// the machine falls on all of them alike. One warm-up round, then `runs`
// timed rounds; the median of each decoder's times in milliseconds.
std::vector<double> MedianMillisecondsInTurn(int runs, const std::vector<std::function<void()>>& decoders) {
    for (const auto& decode : decoders) decode();
    std::vector<std::vector<double>> times(decoders.size());
    for (int round = 0; round < runs; ++round)
        for (size_t d = 0; d < decoders.size(); ++d) times[d].push_back(MillisecondsOf(decoders[d]));
    std::vector<double> medians;
    for (const auto& list : times) medians.push_back(Median(list));
    return medians;
}

// Unless cold runs were asked for, large blocks come from the heap and stay there when freed.
const char* KeepFreedMemory() {
    const char* cold = std::getenv("JPEGBENCH_COLD");
    if (cold && std::strcmp(cold, "1") == 0) return "cold (fresh pages every run)";
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, 0x7FFFFFFF);
    return "warm (freed output memory reused)";
}

long StatusKilobytes(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const size_t length = std::strlen(field);
    while (std::getline(status, line))
        if (line.compare(0, length, field) == 0) return std::atol(line.c_str() + length);
    return -1;
}

// Child mode (--peak FILE): a fresh process reads FILE, resets its resident
// high-water mark, decodes once with our decoder and prints how far the
// resident set rose above what it held with the file loaded.
int RunPeakChild(const char* path) {
    std::vector<uint8_t> bytes;
    uint32_t size = 0;
    if (!ReadPadded(path, &bytes, &size)) return 2;
    {
        std::ofstream reset("/proc/self/clear_refs");
        reset << "5";  // VmHWM := VmRSS
    }
    const long before = StatusKilobytes("VmRSS:");
    Picture picture;
    const JpegResult result = DecodeOurs(bytes, size, &picture);
    const long peak = StatusKilobytes("VmHWM:");
    std::printf("%d %ld\n", static_cast<int>(result), peak - before);
    return 0;
}

// Runs this program as a --peak child on `path`; the rise in KiB, or -1.
long MeasurePeakKilobytes(const std::string& path) {
    int channel[2];
    if (pipe(channel) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, channel[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, channel[0]);
    std::string self = "/proc/self/exe", mode = "--peak", file = path;
    char* argv[] = {&self[0], &mode[0], &file[0], nullptr};
    pid_t child = 0;
    const int spawned = posix_spawn(&child, "/proc/self/exe", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(channel[1]);
    char reply[64] = {};
    size_t got = 0;
    for (ssize_t n; got < sizeof reply - 1 && (n = read(channel[0], reply + got, sizeof reply - 1 - got)) > 0;)
        got += static_cast<size_t>(n);
    close(channel[0]);
    if (spawned != 0) return -1;
    int status = 0;
    waitpid(child, &status, 0);
    int result = -1;
    long rise = -1;
    if (std::sscanf(reply, "%d %ld", &result, &rise) != 2 || result != JPEG_OK) return -1;
    return rise;
}

int RunTimedDecodes(const char* path, int count, int scale) {
    std::vector<uint8_t> bytes;
    uint32_t size = 0;
    KeepFreedMemory();
    if (!ReadPadded(path, &bytes, &size)) {
        std::fprintf(stderr, "cannot read %s\n", path);
        return 2;
    }
    Picture picture;
    const JpegResult first = DecodeOurs(bytes, size, &picture, scale);
    if (first != JPEG_OK) {
        std::fprintf(stderr, "%s: result=%d\n", path, static_cast<int>(first));
        return 1;
    }
    for (int i = 0; i < count; ++i)
        std::printf("decode_ms %.3f\n", MillisecondsOf([&] { DecodeOurs(bytes, size, &picture, scale); }));
    return 0;
}

struct Row {
    std::string name;
    Picture picture;
    double oursMs, turboMs, stbMs;
    uint32_t fileBytes;
    uint64_t outputBytes;
    long peakKilobytes;
};

double MegapixelsPerSecond(const Picture& picture, double ms) {
    return static_cast<double>(picture.width) * picture.height / (ms * 1000.0);
}

bool BenchmarkPhoto(const std::string& path, int runs, tjhandle turbo, Row* row) {
    std::vector<uint8_t> bytes;
    uint32_t size = 0;
    if (!ReadPadded(path, &bytes, &size)) return false;
    row->name = std::filesystem::path(path).filename().string();
    row->fileBytes = size;
    if (DecodeOurs(bytes, size, &row->picture) != JPEG_OK) return false;
    const Picture& picture = row->picture;
    row->outputBytes = kDibHeaderSize + (static_cast<uint64_t>(picture.height) + 15) * DibRowBytes24(picture.width);

    Picture scratch;
    const std::vector<double> medians = MedianMillisecondsInTurn(runs, {
        [&] { DecodeOurs(bytes, size, &scratch); },
        // Every decoder gets fresh output memory on every run, as ours does.
        [&] {
            uint8_t* pixels = static_cast<uint8_t*>(malloc(static_cast<size_t>(picture.width) * picture.height * 3));
            if (pixels)
                tjDecompress2(turbo, bytes.data(), size, pixels, picture.width, 0, picture.height, TJPF_BGR,
                              TJFLAG_ACCURATEDCT);
            free(pixels);
        },
        [&] {
            int w = 0, h = 0, n = 0;
            stbi_uc* pixels = stbi_load_from_memory(bytes.data(), static_cast<int>(size), &w, &h, &n, 3);
            stbi_image_free(pixels);
        },
    });
    row->oursMs = medians[0];
    row->turboMs = medians[1];
    row->stbMs = medians[2];
    row->peakKilobytes = MeasurePeakKilobytes(path);
    return true;
}

// PSNR in dB of a reduced DibImage against the k x k means (rounded) of the
// full-size one over all three channels; the last column and row average
// what is left of the picture.
double PsnrAgainstMeans(const uint8_t* full, const uint8_t* reduced, int k) {
    DibHeader f, r;
    std::memcpy(&f, full, sizeof f);
    std::memcpy(&r, reduced, sizeof r);
    const uint32_t fullStride = DibRowBytes24(f.biWidth), reducedStride = DibRowBytes24(r.biWidth);
    const uint8_t* fullPixels = full + kDibHeaderSize;
    const uint8_t* reducedPixels = reduced + kDibHeaderSize;
    double squares = 0;
    for (int y = 0; y < r.biHeight; ++y)
        for (int x = 0; x < r.biWidth; ++x)
            for (int channel = 0; channel < 3; ++channel) {
                int sum = 0, count = 0;
                for (int j = k * y; j < std::min(f.biHeight, k * y + k); ++j)
                    for (int i = k * x; i < std::min(f.biWidth, k * x + k); ++i, ++count)
                        sum += fullPixels[static_cast<size_t>(f.biHeight - 1 - j) * fullStride + 3 * i + channel];
                const int mean = (sum + count / 2) / count;
                const int error =
                    reducedPixels[static_cast<size_t>(r.biHeight - 1 - y) * reducedStride + 3 * x + channel] - mean;
                squares += static_cast<double>(error) * error;
            }
    const double samples = 3.0 * r.biWidth * r.biHeight;
    return squares > 0 ? 10 * std::log10(255.0 * 255.0 * samples / squares) : 99.0;
}

// The reduced decodes of one photo: ours and the peer's scaled decode in
// turns, output and input megapixels per second, our PSNR. False when ours
// fails.
bool BenchmarkScales(const std::string& path, int runs, tjhandle turbo) {
    std::vector<uint8_t> bytes;
    uint32_t size = 0;
    if (!ReadPadded(path, &bytes, &size)) return false;
    Picture full;
    void* fullImage = nullptr;
    if (DecodeOurs(bytes, size, &full, 1, &fullImage) != JPEG_OK) return false;
    const std::string name = std::filesystem::path(path).filename().string();
    const double inputPixels = static_cast<double>(full.width) * full.height;
    bool decoded = true;
    for (int scale : {2, 4, 8}) {
        Picture reduced;
        void* reducedImage = nullptr;
        if (DecodeOurs(bytes, size, &reduced, scale, &reducedImage) != JPEG_OK) {
            decoded = false;
            continue;
        }
        const double psnr = PsnrAgainstMeans(static_cast<const uint8_t*>(fullImage),
                                             static_cast<const uint8_t*>(reducedImage), scale);
        free(reducedImage);
        Picture scratch;
        const std::vector<double> medians = MedianMillisecondsInTurn(runs, {
            [&] { DecodeOurs(bytes, size, &scratch, scale); },
            [&] {
                const size_t pixelBytes = static_cast<size_t>(reduced.width) * reduced.height * 3;
                uint8_t* pixels = static_cast<uint8_t*>(malloc(pixelBytes));
                if (pixels)
                    tjDecompress2(turbo, bytes.data(), size, pixels, reduced.width, 0, reduced.height, TJPF_BGR,
                                  TJFLAG_ACCURATEDCT);
                free(pixels);
            },
        });
        const double outputPixels = static_cast<double>(reduced.width) * reduced.height;
        char shape[32];
        std::snprintf(shape, sizeof shape, "%dx%d", reduced.width, reduced.height);
        std::printf("%-34s %5s %11s %8.2f %9.1f %9.1f %8.2f %9.1f %9.1f %8.2f %8.2f\n", name.c_str(),
                    ("1/" + std::to_string(scale)).c_str(), shape, medians[0], outputPixels / (medians[0] * 1000.0),
                    inputPixels / (medians[0] * 1000.0), medians[1], outputPixels / (medians[1] * 1000.0),
                    inputPixels / (medians[1] * 1000.0), medians[1] / medians[0], psnr);
    }
    free(fullImage);
    return decoded;
}

int RunComparison(const std::string& folder) {
    std::vector<std::string> photos;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        std::string extension = entry.path().extension().string();
        std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
        if (entry.is_regular_file() && (extension == ".jpg" || extension == ".jpeg"))
            photos.push_back(entry.path().string());
    }
    if (error || photos.empty()) {
        std::fprintf(stderr, "no photos in %s\n", folder.c_str());
        return 2;
    }
    std::sort(photos.begin(), photos.end());
    const char* runsText = std::getenv("JPEGBENCH_RUNS");
    const int runs = runsText && std::atoi(runsText) > 0 ? std::atoi(runsText) : 7;

    const char* memory = KeepFreedMemory();
    tjhandle turbo = tjInitDecompress();
    std::printf("photos: %s, %d timed runs each, median, single thread, output memory %s\n", folder.c_str(), runs,
                memory);
    std::printf("%-34s %11s %9s %9s %9s %8s %8s %11s %11s\n", "photo", "size", "ours", "turbo", "stb",
                "/turbo", "/stb", "peak+MiB", "limit+MiB");
    std::printf("%-34s %11s %9s %9s %9s %8s %8s %11s %11s\n", "", "", "MP/s", "MP/s", "MP/s", "", "", "(rise)",
                "(out+2)");
    int failures = 0;
    for (const std::string& path : photos) {
        Row row;
        if (!BenchmarkPhoto(path, runs, turbo, &row)) {
            std::printf("%-34s not decoded\n", std::filesystem::path(path).filename().string().c_str());
            ++failures;
            continue;
        }
        const double ours = MegapixelsPerSecond(row.picture, row.oursMs);
        const double turboSpeed = MegapixelsPerSecond(row.picture, row.turboMs);
        const double stbSpeed = MegapixelsPerSecond(row.picture, row.stbMs);
        const double limitMiB = (static_cast<double>(row.outputBytes) + 2 * 1048576.0) / 1048576.0;
        const double riseMiB = row.peakKilobytes / 1024.0;
        char size[32];
        std::snprintf(size, sizeof size, "%dx%d", row.picture.width, row.picture.height);
        std::printf("%-34s %11s %9.1f %9.1f %9.1f %8.2f %8.2f %11.2f %11.2f%s\n", row.name.c_str(), size, ours,
                    turboSpeed, stbSpeed, ours / turboSpeed, ours / stbSpeed, riseMiB, limitMiB,
                    row.peakKilobytes < 0 ? "  (peak not measured)" : riseMiB > limitMiB ? "  OVER" : "");
    }
    std::printf("peak: rise of the resident set above the loaded file while our decoder runs, in a fresh process\n");

    std::printf("\nreduced decodes, %d timed runs each in turns, median; out/in: megapixels per second of the\n"
                "reduced output / of the full-size input; psnr: ours against the k x k means of our full size\n",
                runs);
    std::printf("%-34s %5s %11s %8s %9s %9s %8s %9s %9s %8s %8s\n", "photo", "scale", "output", "ours ms",
                "ours out", "ours in", "turbo ms", "turbo out", "turbo in", "/turbo", "psnr dB");
    for (const std::string& path : photos)
        if (!BenchmarkScales(path, runs, turbo)) {
            std::printf("%-34s not decoded at every scale\n", std::filesystem::path(path).filename().string().c_str());
            ++failures;
        }
    tjDestroy(turbo);
    return failures ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--peak") == 0) return RunPeakChild(argv[2]);
    if (argc == 3 || argc == 4) return RunTimedDecodes(argv[1], std::atoi(argv[2]), argc == 4 ? std::atoi(argv[3]) : 1);
    if (argc == 2) return RunComparison(argv[1]);
    if (argc == 1) {
        const char* folder = std::getenv("JPEGBENCH_DIR");
        return RunComparison(folder && *folder ? folder : JPEGBENCH_DEFAULT_DIR);
    }
    std::fprintf(stderr, "usage: jpegbench [DIR] | jpegbench FILE N [SCALE]\n");
    return 2;
}
