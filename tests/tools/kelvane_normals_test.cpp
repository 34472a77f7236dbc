#include <gtest/gtest.h>
#include <sys/wait.h>  // Required for: WEXITSTATUS(), the tool's exit status

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "support/scratch_dir.h"
#include "tools/asset_baker/encoding.h"
#include "tools/asset_baker/writer.h"
#include "tools/kelvane_normals/object_folder.h"

using namespace Kelvane_Normals;
using Asset_Baker::Image;
using Asset_Baker::Rgba;
using Asset_Baker::Vec3;
using Files = std::map<std::string, std::string>;

namespace {

Kelvane::Camera camera;
const double HF = camera.Get_Height_Factor();
const uint32_t FLAT = 0x8080FFFFu;

uint32_t Packed(Rgba c) { return uint32_t(c.r) << 24 | c.g << 16 | c.b << 8 | c.a; }  // 0xRRGGBBAA
// The encoding of docs/encodings.md, written out: each component from [-1, 1] to 0..255, opaque.
uint32_t Encoded(Vec3 n) {
    auto byte = [](double c) { return uint32_t(std::lround((c + 1) / 2 * 255)); };
    n = Asset_Baker::Normalize(n);
    return byte(n.x) << 24 | byte(n.y) << 16 | byte(n.z) << 8 | 0xFF;
}
// Height rising `slope` per image column: one column right is the floor step (1, 1), so the
// surface leans back toward -x, -y by atan(slope / sqrt 2).
Vec3 Column_Ramp(double slope) {
    double tilt = std::atan(slope / std::sqrt(2.0));
    return Vec3(-std::sin(tilt) / std::sqrt(2.0), -std::sin(tilt) / std::sqrt(2.0), std::cos(tilt));
}
double Degrees(const Vec3& a, const Vec3& b) {
    return std::acos(std::min(1.0, Asset_Baker::Dot(Asset_Baker::Normalize(a), Asset_Baker::Normalize(b)))) * 180 /
           M_PI;
}

bool All(int, int) { return true; }
Height_Field Field(int w, int h, std::function<double(int, int)> z, std::function<bool(int, int)> covered = All) {
    Height_Field field(w, h);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) field.Set(i, j, z(i, j), covered(i, j));
    return field;
}
// Six columns of a height rising `slope` per column.
Height_Field Ramp(double slope) {
    return Field(6, 3, [slope](int i, int) { return 100 + slope * i; });
}

// Every covered pixel is `expected`, every other one transparent black.
void Expect_All(const Image& image, uint32_t expected, const std::string& what,
                std::function<bool(int, int)> covered = All) {
    for (int j = 0; j < image.height; ++j)
        for (int i = 0; i < image.width; ++i)
            ASSERT_EQ(Packed(image.Get(i, j)), covered(i, j) ? expected : 0u) << what << " at " << i << ", " << j;
}

void Write_Png(const std::string& path, int w, int h, std::function<Rgba(int, int)> colour) {
    Image image(w, h);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) image.Set(i, j, colour(i, j));
    ASSERT_TRUE(Asset_Baker::Save_Png(image, path)) << path;
}

// An object folder the tool accepts: a 4 x 3 flat height with a transparent corner.
void Make_Object(const std::string& folder) {
    std::filesystem::create_directory(folder);
    Write_Png(folder + "/height.png", 4, 3, [](int i, int j) { return Rgba{90, 90, 90, uint8_t(i + j ? 255 : 0)}; });
}

// Every entry of a folder with its bytes.
Files Snapshot(const std::string& folder) {
    Files files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        files[entry.path().filename().string()] =
            entry.is_directory() ? "<folder>" : Kelvane_Test::Read_File(entry.path().string());
    return files;
}

// The built tool's exit status and everything it printed.
std::pair<int, std::string> Run_Tool(const std::string& arguments) {
    FILE* pipe = popen((std::string(KELVANE_NORMALS_TOOL) + " " + arguments + " 2>&1").c_str(), "r");
    std::string output;
    char buffer[256];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
    int status = pipe ? pclose(pipe) : -1;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

}  // namespace

TEST(Kelvane_Normals, FlatRampsWallsAndStrengthComeOutAsTheEncodingPredicts) {
    for (double slope : {0.0, 0.5, 2.0, 9.0, -3.0})
        Expect_All(Derive_Normals(Ramp(slope), camera, 1, 1), Encoded(Column_Ramp(slope)),
                   "slope " + std::to_string(slope));
    for (double strength : {0.0, 2.5, -1.0})
        Expect_All(Derive_Normals(Ramp(5), camera, strength, 1), Encoded(Column_Ramp(5 * strength)),
                   "strength " + std::to_string(strength));
    // Height rising one height-factor per row upward pictures an upright wall facing the viewer: (-1, 1, 0).
    Expect_All(Derive_Normals(Field(4, 6, [](int, int j) { return (10 - j) / HF; }), camera, 1, 1), 0x25DA80FFu,
               "wall");
}

TEST(Kelvane_Normals, EdgesKeepTheirTiltUncoveredPixelsStayTransparentBlackAndRadiusEvensOutSteps) {
    // A column ramp with a gap, a hole and a notch: every rim keeps the ramp's tilt, whatever the radius.
    auto covered = [](int i, int j) { return i != 3 && !(i == 6 && j == 2) && !(i == 0 && j == 6); };
    auto ramp = [](int i, int) { return 40.0 + 3 * i; };
    for (int radius : {1, 2, 5})
        Expect_All(Derive_Normals(Field(9, 7, ramp, covered), camera, 1, radius), Encoded(Column_Ramp(3)),
                   "radius " + std::to_string(radius), covered);
    // A pixel with no covered neighbour is taken as flat.
    auto centre = [](int i, int j) { return i == 1 && j == 1; };
    EXPECT_EQ(Packed(Derive_Normals(Field(3, 3, ramp, centre), camera, 1, 1).Get(1, 1)), FLAT);
    // Steps of 3 units every 3 columns, a slope of 1 as an 8-bit height holds it: a wider fit evens them out.
    const Height_Field stairs = Field(40, 2, [](int i, int) { return 3.0 * (i / 3); });
    for (auto [radius, low, high] : {std::tuple{1, 15.0, 90.0}, {6, 0.0, 3.0}}) {
        Image image = Derive_Normals(stairs, camera, 1, radius);
        double worst = 0;
        for (int i = radius; i < 40 - radius; ++i)
            worst = std::max(worst, Degrees(Asset_Baker::Decode_Normal(image.Get(i, 0)), Column_Ramp(1)));
        EXPECT_GT(worst, low) << radius;
        EXPECT_LT(worst, high) << radius;
    }
}

TEST(Kelvane_Normals, TheBakedObjectsHeightsGiveBackTheirBakedNormals) {
    // The staged objects' normal.png is their true geometry, plus bumps that height.png does not hold:
    // the share of pixels within 10 degrees of it, at a radius that suits the object.
    ASSERT_TRUE(Asset_Baker::Init_Image_Output());
    const std::tuple<const char*, int, double> objects[] = {
        {"tiles", 1, 0.85}, {"square", 1, 0.8}, {"light", 1, 0.6},  {"house", 5, 0.55},
        {"sphere", 5, 0.95}, {"robot", 5, 0.6}, {"pilar", 5, 0.5}, {"robot_wave", 5, 0.6}};  // a sheet of 4 frames
    for (const auto& [name, radius, share] : objects) {
        std::string folder = std::string("assets/objects/") + name, error;
        Height_Field field;
        Image baked;
        ASSERT_TRUE(Read_Height_Field(folder, camera, field, error)) << error;
        ASSERT_TRUE(Load_Png(folder + "/normal.png", baked)) << name;
        Image derived = Derive_Normals(field, camera, 1, radius);
        long covered = 0, close = 0;
        for (int j = 0; j < field.height; ++j)
            for (int i = 0; i < field.width; ++i) {
                // Transparent black exactly where the baker left the image empty.
                ASSERT_EQ(Packed(derived.Get(i, j)) == 0, Packed(baked.Get(i, j)) == 0) << name << " " << i << "," << j;
                if (Packed(baked.Get(i, j)) == 0) continue;
                ++covered;
                close += Degrees(Asset_Baker::Decode_Normal(derived.Get(i, j)),
                                 Asset_Baker::Decode_Normal(baked.Get(i, j))) < 10;
            }
        EXPECT_GT(double(close) / covered, share) << name;
    }
}

TEST(Kelvane_Normals, HeightComesFromSettingsAndCoverageFromBothAlphas) {
    Kelvane_Test::Scratch_Dir scratch;
    std::filesystem::create_directory("obj");
    // Red 10 i, to be read as stored (not scaled by alpha); height alpha 26 at (3, 1), the most the renderer
    // drops; diffuse alpha 26 at (5, 0) and 27 at (4, 1), the least it draws.
    Write_Png("obj/height.png", 6, 2, [](int i, int j) {
        return Rgba{uint8_t(10 * i), 7, 9, uint8_t(i == 3 && j ? 26 : 255)};
    });
    Write_Png("obj/diffuse.png", 6, 2, [](int i, int j) {
        return Rgba{1, 2, 3, uint8_t(i == 5 && !j ? 26 : i == 4 && j ? 27 : 255)};
    });
    auto check = [&](double tall, std::function<bool(int, int)> covered) {
        Height_Field field;
        std::string error;
        ASSERT_TRUE(Read_Height_Field("obj", camera, field, error)) << error;
        ASSERT_EQ(field.width * 10 + field.height, 62);
        for (int j = 0; j < 2; ++j)
            for (int i = 0; i < 6; ++i) {
                EXPECT_EQ(field.Covered(i, j), covered(i, j)) << tall << ": " << i << ", " << j;
                EXPECT_NEAR(field.Z(i, j), 10 * i / 255.0 * tall / HF, 1e-3) << tall << ": " << i << ", " << j;
            }
    };
    // Without settings.ini the engine's default Height 500 holds, and no settings.ini appears.
    check(500, [](int i, int j) { return !(i == 3 && j == 1) && !(i == 5 && j == 0); });
    EXPECT_FALSE(std::filesystem::exists("obj/settings.ini"));
    Kelvane_Test::Write_File("obj/settings.ini", "[General]\nCenter_X=3\nHeight=120\n");
    std::filesystem::remove("obj/diffuse.png");
    check(120, [](int i, int j) { return !(i == 3 && j == 1); });
    EXPECT_EQ(Kelvane_Test::Read_File("obj/settings.ini"), "[General]\nCenter_X=3\nHeight=120\n");
}

// Two frames side by side, each a flat plate at its own height: a slope across their border would bend
// the columns next to it.
TEST(Kelvane_Normals, TheFramesOfASheetAreSurfacesOfTheirOwn) {
    Kelvane_Test::Scratch_Dir scratch;
    ASSERT_TRUE(Asset_Baker::Init_Image_Output());
    std::filesystem::create_directory("sheet");
    Write_Png("sheet/height.png", 16, 6, [](int i, int j) { return Rgba{uint8_t(i < 8 || j < 3 ? 60 : 200), 0, 0, 255}; });
    for (int radius : {1, 4}) {
        Kelvane_Test::Write_File("sheet/settings.ini", "[General]\nHeight=100\nFrames=4\nColumns=2\n");
        Height_Field field;
        std::string error;
        ASSERT_TRUE(Read_Height_Field("sheet", camera, field, error)) << error;
        EXPECT_EQ((std::array{field.frame_w, field.frame_h}), (std::array{8, 3}));
        Image normals = Derive_Normals(field, camera, 1, radius);
        for (int j = 0; j < 6; ++j)
            for (int i = 0; i < 16; ++i)
                ASSERT_LT(Degrees(Asset_Baker::Decode_Normal(normals.Get(i, j)), Vec3(0, 0, 1)), 1.0)
                    << "radius " << radius << " at " << i << ", " << j;
    }
    Kelvane_Test::Write_File("sheet/settings.ini", "[General]\nHeight=100\nFrames=3\n");
    Height_Field whole;
    std::string error;
    EXPECT_EQ(Kelvane_Test::Printed([&] { ASSERT_TRUE(Read_Height_Field("sheet", camera, whole, error)) << error; }),
              "kelvane_normals: sheet: the images are 16 x 6, not 3 x 1 equal frames; they are one still frame\n");
    EXPECT_GT(Degrees(Asset_Baker::Decode_Normal(Derive_Normals(whole, camera, 1, 1).Get(8, 4)), Vec3(0, 0, 1)), 20.0)
        << "one frame, as the engine shows it";
}

TEST(Kelvane_Normals, BadArgumentsGiveTheUsageBadInputAMessageAndGoodInputNormalPngAndNothingElse) {
    Kelvane_Test::Scratch_Dir scratch;
    Kelvane_Test::Write_File("a_file", "x");
    std::filesystem::create_directory("empty");
    for (const char* folder : {"garbled", "sizes", "unreadable", "flat", "done", "blocked", "obj"}) Make_Object(folder);
    Kelvane_Test::Write_File("garbled/height.png", "not an image");
    Write_Png("sizes/diffuse.png", 3, 3, [](int, int) { return Rgba{1, 1, 1, 255}; });
    std::filesystem::create_directory("unreadable/settings.ini");
    Kelvane_Test::Write_File("flat/settings.ini", "[General]\nHeight=0\n");
    Kelvane_Test::Write_File("done/normal.png", "an artist's own normals");
    std::filesystem::create_directories("blocked/normal.png/inside");
    const std::tuple<const char*, int, const char*> cases[] = {
        {"--help", 0, ""},
        {"", 2, "no folder given"},
        {"obj --strength", 2, "--strength needs a number"},
        {"--strength 2x obj", 2, "--strength needs a number"},
        {"--radius 2.5 obj", 2, "--radius needs a whole number from 1 to 32"},
        {"--radius 33 obj", 2, "--radius needs a whole number from 1 to 32"},
        {"--froce obj", 2, "unknown option --froce"},
        {"obj other", 2, "one folder at a time"},
        {"nowhere", 1, "no such folder: nowhere"},
        {"a_file", 1, "a_file is not a folder"},
        {"empty", 1, "empty/height.png is missing"},
        {"garbled", 1, "cannot read garbled/height.png as an image"},
        {"sizes", 1, "sizes/diffuse.png is 3 x 3 but height.png is 4 x 3; they must be the same size"},
        {"unreadable", 1, "cannot read unreadable/settings.ini"},
        {"flat", 1, "flat/settings.ini: Height must be a number above 0"},
        {"done", 1, "done/normal.png already exists; use --force to replace it"},
        {"--force blocked", 1, "cannot write blocked/normal.png"}};
    const std::string usage = "usage: kelvane_normals [--strength S] [--radius R] [--force] <folder>\n";
    for (const auto& [arguments, status, reason] : cases) {
        std::string folder = std::string(arguments).substr(std::string(arguments).rfind(' ') + 1);
        Files before = std::filesystem::is_directory(folder) ? Snapshot(folder) : Files();
        auto [exit_status, output] = Run_Tool(arguments);
        EXPECT_EQ(exit_status, status) << arguments;
        std::string said =
            (*reason ? std::string("kelvane_normals: ") + reason + "\n" : "") + (status == 1 ? "" : usage);
        EXPECT_EQ(status == 1 ? output : output.substr(0, said.size()), said) << "the usage's option lines follow";
        EXPECT_EQ(std::filesystem::is_directory(folder) ? Snapshot(folder) : Files(), before) << arguments;
    }

    // Good input: normal.png and nothing else, replaced only with --force (the "done" folder above keeps its own).
    Kelvane_Test::Write_File("obj/settings.ini", "[General]\nHeight=255\n");
    Kelvane_Test::Write_File("obj/normal_cooked.png", "stale");
    Files before = Snapshot("obj");
    auto [status, output] = Run_Tool("obj");
    ASSERT_EQ(status, 0) << output;
    EXPECT_EQ(output, "kelvane_normals: wrote obj/normal.png (4 x 3, strength 1, radius 1)\n");
    Image normals;
    ASSERT_TRUE(Load_Png("obj/normal.png", normals));
    Expect_All(normals, FLAT, "written", [](int i, int j) { return i + j > 0; });
    Files after = Snapshot("obj");
    after.erase("normal.png");
    EXPECT_EQ(after, before);  // settings.ini untouched, no temporary file left
    Write_Png("obj/height.png", 4, 3, [](int i, int) { return Rgba{uint8_t(40 * i), 0, 0, 255}; });
    EXPECT_EQ(Run_Tool("--strength 0.5 --force obj").first, 0);
    ASSERT_TRUE(Load_Png("obj/normal.png", normals));
    EXPECT_EQ(Packed(normals.Get(2, 1)), Encoded(Column_Ramp(0.5 * 40 / HF)));
}
