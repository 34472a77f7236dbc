#include <gtest/gtest.h>
#include <sys/wait.h>  // Required for: WEXITSTATUS(), the tool's exit status

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/scratch_dir.h"
#include "tools/asset_baker/encoding.h"
#include "tools/asset_baker/writer.h"
#include "tools/kelvane_normals/object_folder.h"

using namespace Kelvane_Normals;
using Asset_Baker::Image;
using Asset_Baker::Rgba;
using Asset_Baker::Vec3;

namespace {

Kelvane::Camera camera;
const double HF = camera.Get_Height_Factor();

uint32_t Packed(Rgba c) { return uint32_t(c.r) << 24 | c.g << 16 | c.b << 8 | c.a; }  // 0xRRGGBBAA
// The encoding of docs/encodings.md, written out: each of (nx, ny, nz) from [-1, 1] to 0..255, opaque.
uint32_t Encoded(double nx, double ny, double nz) {
    double length = std::sqrt(nx * nx + ny * ny + nz * nz);
    auto byte = [&](double c) { return uint32_t(std::lround((c / length + 1) / 2 * 255)); };
    return byte(nx) << 24 | byte(ny) << 16 | byte(nz) << 8 | 0xFF;
}
// A surface rising `slope` world units per image column: one column right is the floor step (1, 1),
// so it leans back toward -x, -y by atan(slope / sqrt 2).
uint32_t Column_Ramp_Normal(double slope) {
    double tilt = std::atan(slope / std::sqrt(2.0));
    return Encoded(-std::sin(tilt) / std::sqrt(2.0), -std::sin(tilt) / std::sqrt(2.0), std::cos(tilt));
}

// z = z_of(i, j) on a w x h field, covered where covered(i, j).
template <typename Z, typename C>
Height_Field Field(int w, int h, Z z_of, C covered) {
    Height_Field field(w, h);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) field.Set(i, j, z_of(i, j), covered(i, j));
    return field;
}
bool All(int, int) { return true; }

double Degrees_Between(const Vec3& a, const Vec3& b) {
    return std::acos(std::min(1.0, Asset_Baker::Dot(Asset_Baker::Normalize(a), Asset_Baker::Normalize(b)))) * 180 /
           M_PI;
}

// Every pixel of the image, packed, must be `expected`.
void Expect_All(const Image& image, uint32_t expected, const char* what) {
    for (int j = 0; j < image.height; ++j)
        for (int i = 0; i < image.width; ++i)
            ASSERT_EQ(Packed(image.Get(i, j)), expected) << what << " at " << i << ", " << j;
}

}  // namespace

TEST(Kelvane_Normals, FlatRampsAndWallsComeOutAsTheEncodingPredicts) {
    Expect_All(Derive_Normals(Field(
                                  5, 4, [](int, int) { return 37.0; }, All),
                              camera, 1, 1),
               0x8080FFFFu, "flat");
    EXPECT_EQ(Column_Ramp_Normal(0), 0x8080FFFFu);
    for (double slope : {0.5, 2.0, 9.0, -3.0})
        Expect_All(Derive_Normals(Field(
                                      6, 3, [&](int i, int) { return 100 + slope * i; }, All),
                                  camera, 1, 1),
                   Column_Ramp_Normal(slope), "column ramp");
    // Height rising one height-factor per row upward pictures an upright wall facing the viewer (-x, +y).
    Image wall = Derive_Normals(Field(
                                    4, 6, [](int, int j) { return (10 - j) / HF; }, All),
                                camera, 1, 1);
    Expect_All(wall, Encoded(-1, 1, 0), "wall");
    EXPECT_EQ(Encoded(-1, 1, 0), 0x25DA80FFu);
}

TEST(Kelvane_Normals, EdgesDoNotLeanIntoTheVoidAndUncoveredPixelsStayTransparentBlack) {
    // A column ramp with a gap, a hole and a notch: every rim keeps the ramp's tilt, whatever the radius.
    auto covered = [](int i, int j) { return i != 3 && !(i == 6 && j == 2) && !(i == 0 && j == 6); };
    for (int radius : {1, 2, 5}) {
        Image image = Derive_Normals(Field(
                                         9, 7, [](int i, int) { return 40.0 + 3 * i; }, covered),
                                     camera, 1, radius);
        for (int j = 0; j < 7; ++j)
            for (int i = 0; i < 9; ++i) {
                uint32_t expected = covered(i, j) ? Column_Ramp_Normal(3) : 0u;
                ASSERT_EQ(Packed(image.Get(i, j)), expected) << i << ", " << j << " radius " << radius;
            }
    }
    // A pixel with no covered neighbour is taken as flat.
    Image lone = Derive_Normals(
        Field(
            3, 3, [](int i, int j) { return i * 50.0 + j; }, [](int i, int j) { return i == 1 && j == 1; }),
        camera, 1, 1);
    EXPECT_EQ(Packed(lone.Get(1, 1)), 0x8080FFFFu);
}

TEST(Kelvane_Normals, StrengthScalesTheHeightSlopes) {
    auto ramp = [](int i, int) { return 5.0 * i; };
    Expect_All(Derive_Normals(Field(4, 3, ramp, All), camera, 0, 1), 0x8080FFFFu, "strength 0");
    Expect_All(Derive_Normals(Field(4, 3, ramp, All), camera, 2.5, 1), Column_Ramp_Normal(12.5), "strength 2.5");
    Expect_All(Derive_Normals(Field(4, 3, ramp, All), camera, -1, 1), Column_Ramp_Normal(-5), "strength -1");
}

TEST(Kelvane_Normals, RadiusEvensOutTheStepsOfAnEightBitHeight) {
    // Steps of 3 units every 3 columns: a slope of 1 as an 8-bit height stores it.
    const Height_Field stairs = Field(
        40, 2, [](int i, int) { return 3.0 * (i / 3); }, All);
    const Vec3 truth =
        Asset_Baker::Decode_Normal(Rgba{uint8_t(Column_Ramp_Normal(1) >> 24), uint8_t(Column_Ramp_Normal(1) >> 16),
                                        uint8_t(Column_Ramp_Normal(1) >> 8), 255});
    auto worst = [&](int radius) {
        Image image = Derive_Normals(stairs, camera, 1, radius);
        double most = 0;
        for (int i = radius; i < 40 - radius; ++i)
            most = std::max(most, Degrees_Between(Asset_Baker::Decode_Normal(image.Get(i, 0)), truth));
        return most;
    };
    EXPECT_GT(worst(1), 15.0);
    EXPECT_LT(worst(6), 3.0);
}

TEST(Kelvane_Normals, ASpheresExactHeightsGiveItsNormals) {
    // A ball of radius 60 resting on the floor under image point (70, 90), its heights unrounded.
    const double r = 60;
    Height_Field field(140, 140);
    std::vector<Vec3> truth(140 * 140), toward_viewer(140 * 140);
    for (int j = 0; j < 140; ++j)
        for (int i = 0; i < 140; ++i) {
            Vec2D at0 = camera.Screen_To_Proj(i - 70.0f, j - 90.0f, 0),
                  at1 = camera.Screen_To_Proj(i - 70.0f, j - 90.0f, 1);
            // The pixel's ray is o + z d; the viewer sees its highest hit.
            Vec3 o(at0.x, at0.y, -r), d(at1.x - at0.x, at1.y - at0.y, 1);
            double a = Dot(d, d), b = 2 * Dot(o, d), disc = b * b - 4 * a * (Dot(o, o) - r * r);
            if (disc < 0) continue;
            double z = (-b + std::sqrt(disc)) / (2 * a);
            field.Set(i, j, z, true);
            truth[j * 140 + i] = o + d * z;
            toward_viewer[j * 140 + i] = d;
        }
    Image image = Derive_Normals(field, camera, 1, 1);
    int checked = 0;
    for (int j = 1; j < 139; ++j)
        for (int i = 1; i < 139; ++i) {
            // Near the outline the height changes too fast for differences of neighbours.
            const Vec3& n = truth[j * 140 + i];
            if (!field.Covered(i, j) || Degrees_Between(n, toward_viewer[j * 140 + i]) > 60) continue;
            ASSERT_LT(Degrees_Between(Asset_Baker::Decode_Normal(image.Get(i, j)), n), 1.5) << i << ", " << j;
            ++checked;
        }
    EXPECT_GT(checked, 4000);
}

TEST(Kelvane_Normals, TheBakedObjectsHeightsGiveBackTheirBakedNormals) {
    // From the staged run directory: the baker's objects, whose normal.png is the true geometry (with bumps).
    ASSERT_TRUE(Asset_Baker::Init_Image_Output());
    const std::pair<const char*, int> objects[] = {{"tiles", 1}, {"square", 1}, {"house", 5}, {"sphere", 5},
                                                   {"robot", 1}, {"pilar", 1},  {"light", 1}};
    std::map<std::string, double> close_share;  // of covered pixels within 10 degrees of the baked normal
    for (const auto& [name, radius] : objects) {
        std::string folder = std::string("assets/objects/") + name;
        Height_Field field;
        std::string error;
        Image baked;
        ASSERT_TRUE(Read_Height_Field(folder, camera, field, error)) << error;
        ASSERT_TRUE(Load_Png(folder + "/normal.png", baked)) << name;
        Image derived = Derive_Normals(field, camera, 1, radius);
        long covered = 0, close = 0;
        for (int j = 0; j < field.height; ++j)
            for (int i = 0; i < field.width; ++i) {
                // Transparent black exactly where the baker left the image empty.
                ASSERT_EQ(Packed(derived.Get(i, j)) == 0, Packed(baked.Get(i, j)) == 0)
                    << name << " " << i << ", " << j;
                if (Packed(baked.Get(i, j)) == 0) continue;
                ++covered;
                close += Degrees_Between(Asset_Baker::Decode_Normal(derived.Get(i, j)),
                                         Asset_Baker::Decode_Normal(baked.Get(i, j))) < 10;
            }
        close_share[name] = double(close) / covered;
    }
    // Smooth and box-shaped surfaces come back; tall walls and bumps (absent from height.png) do not all.
    EXPECT_GT(close_share["sphere"], 0.95);
    EXPECT_GT(close_share["square"], 0.8);
    EXPECT_GT(close_share["tiles"], 0.85);
    EXPECT_GT(close_share["house"], 0.55);
}

namespace {

// Writes a w x h PNG whose pixel (i, j) is colour(i, j).
template <typename C>
void Write_Png(const std::string& path, int w, int h, C colour) {
    Image image(w, h);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) image.Set(i, j, colour(i, j));
    ASSERT_TRUE(Asset_Baker::Save_Png(image, path)) << path;
}

// Every file of a folder with its bytes.
std::map<std::string, std::string> Snapshot(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        files[entry.path().filename().string()] =
            entry.is_directory() ? "<folder>" : Kelvane_Test::Read_File(entry.path().string());
    return files;
}

}  // namespace

TEST(Kelvane_Normals, HeightComesFromSettingsAndCoverageFromBothAlphas) {
    Kelvane_Test::Scratch_Dir scratch;
    std::filesystem::create_directory("obj");
    // Red 10 i, read as stored (not scaled by alpha); height alpha 25 at (3, 1), diffuse alpha 25 at (5, 0)
    // and 26 at (4, 1).
    Write_Png("obj/height.png", 6, 2, [](int i, int j) {
        return Rgba{uint8_t(10 * i), 7, 9, uint8_t(i == 3 && j ? 25 : 255)};
    });
    Write_Png("obj/diffuse.png", 6, 2, [](int i, int j) {
        return Rgba{1, 2, 3, uint8_t(i == 5 && j == 0 ? 25 : i == 4 && j == 1 ? 26 : 255)};
    });
    auto check = [&](double tall, auto covered, const char* what) {
        Height_Field field;
        std::string error;
        ASSERT_TRUE(Read_Height_Field("obj", camera, field, error)) << what << ": " << error;
        ASSERT_EQ(field.width * 10 + field.height, 62) << what;
        for (int j = 0; j < 2; ++j)
            for (int i = 0; i < 6; ++i) {
                EXPECT_EQ(field.Covered(i, j), covered(i, j)) << what << " " << i << ", " << j;
                EXPECT_NEAR(field.Z(i, j), 10 * i / 255.0 * tall / HF, 1e-3) << what << " " << i << ", " << j;
            }
    };
    // Without settings.ini the engine's default Height 500 holds, and no settings.ini appears.
    check(
        500, [](int i, int j) { return !(i == 3 && j == 1) && !(i == 5 && j == 0); }, "both alphas");
    EXPECT_FALSE(std::filesystem::exists("obj/settings.ini"));
    Kelvane_Test::Write_File("obj/settings.ini", "[General]\nCenter_X=3\nHeight=120\n");
    std::filesystem::remove("obj/diffuse.png");
    check(
        120, [](int i, int j) { return !(i == 3 && j == 1); }, "height alpha only");
    EXPECT_EQ(Kelvane_Test::Read_File("obj/settings.ini"), "[General]\nCenter_X=3\nHeight=120\n");
}

namespace {

struct Tool_Run {
    int status;
    std::string output;
};

// The built tool, with its standard output and error.
Tool_Run Run_Tool(const std::string& arguments) {
    std::string command = std::string(KELVANE_NORMALS_TOOL) + " " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    std::string output;
    char buffer[256];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
    int status = pipe ? pclose(pipe) : -1;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

// An object folder the tool accepts: a 4 x 3 flat height with a transparent corner.
void Make_Object(const std::string& folder) {
    std::filesystem::create_directory(folder);
    Write_Png(folder + "/height.png", 4, 3, [](int i, int j) { return Rgba{90, 90, 90, uint8_t(i + j ? 255 : 0)}; });
}

}  // namespace

TEST(Kelvane_Normals, BadArgumentsGiveTheUsageAndStatus2) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "no folder given"},
        {"obj --strength", "--strength needs a number"},
        {"--strength 2x obj", "--strength needs a number"},
        {"--radius 0 obj", "--radius needs a whole number from 1 to 32"},
        {"--radius 2.5 obj", "--radius needs a whole number from 1 to 32"},
        {"--radius 33 obj", "--radius needs a whole number from 1 to 32"},
        {"--froce obj", "unknown option --froce"},
        {"obj other", "one folder at a time"},
    };
    for (const auto& [arguments, reason] : cases) {
        Tool_Run run = Run_Tool(arguments);
        EXPECT_EQ(run.status, 2) << arguments;
        EXPECT_NE(run.output.find(std::string("kelvane_normals: ") + reason + "\n"), std::string::npos) << run.output;
        EXPECT_NE(run.output.find("usage: kelvane_normals [--strength S] [--radius R] [--force] <folder>"),
                  std::string::npos)
            << run.output;
    }
    Tool_Run help = Run_Tool("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.output.rfind("usage: kelvane_normals", 0), 0u) << help.output;
}

TEST(Kelvane_Normals, BadInputGivesAMessageAndStatus1AndChangesNothing) {
    Kelvane_Test::Scratch_Dir scratch;
    Kelvane_Test::Write_File("a_file", "x");
    std::filesystem::create_directory("empty");
    Make_Object("garbled");
    Kelvane_Test::Write_File("garbled/height.png", "not an image");
    Make_Object("sizes");
    Write_Png("sizes/diffuse.png", 3, 3, [](int, int) { return Rgba{1, 1, 1, 255}; });
    Make_Object("unreadable_settings");
    std::filesystem::create_directory("unreadable_settings/settings.ini");
    Make_Object("flat_settings");
    Kelvane_Test::Write_File("flat_settings/settings.ini", "[General]\nHeight=0\n");
    Make_Object("done");
    Kelvane_Test::Write_File("done/normal.png", "an artist's own normals");
    Make_Object("blocked");
    std::filesystem::create_directories("blocked/normal.png/inside");
    const std::pair<const char*, const char*> cases[] = {
        {"nowhere", "no such folder: nowhere"},
        {"a_file", "a_file is not a folder"},
        {"empty", "empty/height.png is missing"},
        {"garbled", "cannot read garbled/height.png as an image"},
        {"sizes", "sizes/diffuse.png is 3 x 3 but height.png is 4 x 3; they must be the same size"},
        {"unreadable_settings", "cannot read unreadable_settings/settings.ini"},
        {"flat_settings", "flat_settings/settings.ini: Height must be a number above 0"},
        {"done", "done/normal.png already exists; use --force to replace it"},
        {"--force blocked", "cannot write blocked/normal.png"},
    };
    for (const auto& [arguments, message] : cases) {
        std::string folder = std::string(arguments).substr(std::string(arguments).rfind(' ') + 1);
        bool is_folder = std::filesystem::is_directory(folder);
        std::map<std::string, std::string> before = is_folder ? Snapshot(folder) : std::map<std::string, std::string>();
        Tool_Run run = Run_Tool(arguments);
        EXPECT_EQ(run.status, 1) << arguments;
        EXPECT_EQ(run.output, std::string("kelvane_normals: ") + message + "\n") << arguments;
        if (is_folder) {
            EXPECT_EQ(Snapshot(folder), before) << arguments;
        }
    }
}

TEST(Kelvane_Normals, WritesNormalPngAndNothingElseAndReplacesItOnlyWithForce) {
    Kelvane_Test::Scratch_Dir scratch;
    Make_Object("obj");
    Kelvane_Test::Write_File("obj/settings.ini", "[General]\nHeight=255\n");
    Kelvane_Test::Write_File("obj/normal_cooked.png", "stale");
    std::map<std::string, std::string> before = Snapshot("obj");
    Tool_Run run = Run_Tool("obj");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output,
              "kelvane_normals: wrote obj/normal.png (4 x 3, strength 1, radius 1)\n"
              "kelvane_normals: obj/normal_cooked.png still holds the old normals; delete it and the engine cooks "
              "the new ones\n");
    Image normals;
    ASSERT_TRUE(Load_Png("obj/normal.png", normals));
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 4; ++i) EXPECT_EQ(Packed(normals.Get(i, j)), i + j ? 0x8080FFFFu : 0u) << i << ", " << j;
    std::map<std::string, std::string> after = Snapshot("obj");
    after.erase("normal.png");
    EXPECT_EQ(after, before);  // settings.ini untouched, no temporary file left
    // A steeper height: kept without --force, replaced with it.
    Write_Png("obj/height.png", 4, 3, [](int i, int) { return Rgba{uint8_t(40 * i), 0, 0, 255}; });
    std::string first = Kelvane_Test::Read_File("obj/normal.png");
    EXPECT_EQ(Run_Tool("obj").status, 1);
    EXPECT_EQ(Kelvane_Test::Read_File("obj/normal.png"), first);
    EXPECT_EQ(Run_Tool("--strength 0.5 --force obj").status, 0);
    ASSERT_TRUE(Load_Png("obj/normal.png", normals));
    EXPECT_EQ(Packed(normals.Get(2, 1)), Column_Ramp_Normal(0.5 * 40 / HF));
}
