// The bitmap and shader stores in a real window: caching by exact name, the
// fallback image, the fatal exits, and GL programs that build or say why not.

// NOTE: gtest comes before the GL header, whose X11 macros (None, Bool) break it.
#include <gtest/gtest.h>

#include <allegro5/allegro.h>
#include <allegro5/allegro_opengl.h>

#include <grp.h>     // Required for: setgroups()
#include <unistd.h>  // Required for: getuid(), setgid(), setuid()

#include <cstdio>   // Required for: freopen(), fprintf()
#include <cstdlib>  // Required for: abort(), getenv(), setenv(), _Exit()
#include <filesystem>
#include <string>
#include <vector>

#include "resources/bitmap.h"
#include "resources/bitmap_manager.h"
#include "resources/shader.h"
#include "resources/shader_manager.h"
#include "support/scratch_dir.h"
#include "support/window.h"

using namespace Kelvane;
using Kelvane_Test::Printed;
using Kelvane_Test::Write_File;

namespace {

class Store_Test : public Kelvane_Test::Window_Test {
protected:
    void SetUp() override {
        Window_Test::SetUp();
        std::filesystem::create_directories("assets");
        std::filesystem::copy_file(scratch.Previous() + "/assets/missing.png", "assets/missing.png");
        Kelvane_Test::Write_Image("green.png", 3, 2, [](int, int) { return al_map_rgb(10, 200, 30); });
    }
    Kelvane_Test::Scratch_Dir scratch;
};

int Width(Bitmap* bitmap) { return al_get_bitmap_width(bitmap->Get_Bit()); }

GLint Gl_Integer(GLenum name) { GLint value = -1; return glGetIntegerv(name, &value), value; }

const char* VALID_SHADER = "uniform float level;\nvoid main() { gl_FragColor = vec4(level); }\n";

}  // namespace

TEST_F(Store_Test, Bitmaps_Are_Cached_By_Exact_Name) {
    Bitmap_Manager store;
    EXPECT_EQ(store.Get_Stored_Bitmap("green.png"), nullptr) << "asking what is stored loads nothing";
    Bitmap* first = store.Get_Bitmap("green.png");
    EXPECT_EQ(store.Get_Stored_Bitmap("green.png"), first);
    EXPECT_EQ(store.Get_Bitmap("green.png"), first);
    EXPECT_NE(store.Get_Bitmap("./green.png"), first) << "another spelling is another entry";
    EXPECT_EQ(Kelvane_Test::Read_Pixel(first->Get_Bit(), 1, 1).g, 200);
    store.Add_Bitmap("green.png", al_create_bitmap(5, 5));
    EXPECT_EQ(store.Get_Bitmap("green.png"), first) << "the older entry keeps being found";
    store.Replace_Bitmap("made.png", al_create_bitmap(2, 2), true);  // made from the fallback image
    EXPECT_TRUE(store.Get_Stored_Bitmap("made.png")->Is_Fallback());
    EXPECT_EQ(store.Get_Usable_Bitmap("made.png"), nullptr) << "never taken for its file";
    store.Release_Bitmap("./green.png");  // destroyed with its entry: the next request loads afresh
    Bitmap* again = store.Get_Bitmap("./green.png");
    EXPECT_EQ(Kelvane_Test::Read_Pixel(again->Get_Bit(), 0, 0).r, 10);
}

TEST_F(Store_Test, Unloadable_Or_Too_Large_Bitmaps_Get_A_Fallback_Copy_With_One_Message) {
    Bitmap_Manager store;
    int largest = al_get_display_option(display, ALLEGRO_MAX_BITMAP_SIZE);
    Kelvane_Test::Write_Image("wide.png", largest + 1, 1, [](int, int) { return al_map_rgb(0, 0, 0); });
    Write_File("corrupt.png", "not a png at all");
    Bitmap *corrupt = nullptr, *missing = nullptr, *wide = nullptr;
    EXPECT_EQ(Printed([&] {
                  corrupt = store.Get_Bitmap("corrupt.png"), missing = store.Get_Bitmap("nowhere.png");
                  wide = store.Get_Bitmap("wide.png"), store.Get_Bitmap("corrupt.png");  // cached: said once
              }),
              "Bitmap corrupt.png couldn't be loaded. Is the file valid?\n"
              "Bitmap nowhere.png doesn't exist. Using the missing image.\n"
              "Bitmap wide.png is larger than the largest texture (" + std::to_string(largest) + " x " +
                  std::to_string(largest) + "). Using the missing image.\n");
    int fallback_w = al_get_bitmap_width(store.Get_Bitmap("assets/missing.png")->Get_Bit());
    for (Bitmap* fallback : {corrupt, missing, wide})
        EXPECT_TRUE(fallback->Is_Fallback() && Width(fallback) == fallback_w &&
                    !(al_get_bitmap_flags(fallback->Get_Bit()) & ALLEGRO_MEMORY_BITMAP));
    EXPECT_NE(corrupt->Get_Bit(), missing->Get_Bit()) << "each entry owns its own copy";
    al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP);  // cooking sources are read on the CPU, however large
    EXPECT_EQ(Width(store.Get_Bitmap("./wide.png")), largest + 1);
    al_set_new_bitmap_flags(0);
}

TEST_F(Store_Test, No_Fallback_Image_Ends_The_Process_With_Status_1) {
    // The exit runs Allegro's shutdown, which a forked copy of this process cannot
    // survive: the child is a fresh run of this test that finds its output path here.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    setenv("KELVANE_TEST_STDOUT", (scratch.Path() + "/stdout.txt").c_str(), 0);
    std::string output = getenv("KELVANE_TEST_STDOUT");
    std::filesystem::remove("assets/missing.png");
    Write_File("corrupt.png", "still not a png");
    EXPECT_EXIT(
        {
            if (!freopen(getenv("KELVANE_TEST_STDOUT"), "w", stdout)) std::abort();
            Bitmap bitmap("corrupt.png");
        },
        testing::ExitedWithCode(1), "The default missing bitmap couldn't be loaded either\\.");
    EXPECT_EQ(Kelvane_Test::Read_File(output),
              "Bitmap corrupt.png couldn't be loaded. Is the file valid?\n"
              "The default missing bitmap couldn't be loaded either.");
}

// The 700-character comment line is read in two pieces and must be joined unchanged.
TEST_F(Store_Test, A_Shader_Is_Built_Once_Per_Path_From_Its_Whole_Source) {
    std::string source = "// " + std::string(700, 'x') + "\n" + VALID_SHADER;
    Write_File("ok.glsl", source);
    Shader_Manager store;
    Shader* shader = store.Get_Shader("ok.glsl");
    EXPECT_EQ(store.Get_Shader("ok.glsl"), shader) << "one program per path";
    ASSERT_TRUE(shader->Is_Usable()) << shader->Get_Error();
    GLhandleARB attached = 0;
    GLsizei count = 0, length = 0;
    glGetAttachedObjectsARB(shader->Get_Program(), 1, &count, &attached);
    ASSERT_EQ(count, 1);
    std::string compiled(source.size() + 16, '\0');
    glGetShaderSourceARB(attached, static_cast<GLsizei>(compiled.size()), &length, compiled.data());
    EXPECT_EQ(compiled.substr(0, length), source);
}

TEST_F(Store_Test, Every_Setter_Reaches_Its_Uniform_In_The_Applied_Program) {
    Write_File("values.glsl",
               "uniform float level; uniform int index; uniform vec2 pair; uniform vec3 triple;\n"
               "uniform float row[4]; uniform sampler2D image;\n"
               "void main() { gl_FragColor = vec4(level + float(index) + pair.x + triple.y + row[3])"
               " + texture2D(image, pair); }\n");
    Shader shader("values.glsl");
    ASSERT_TRUE(shader.Is_Usable()) << shader.Get_Error();
    shader.Apply();
    EXPECT_EQ(static_cast<GLuint>(Gl_Integer(GL_CURRENT_PROGRAM)), shader.Get_Program());
    GLuint program = shader.Get_Program();
    auto read_floats = [&](const char* name, int count) {
        std::vector<GLfloat> values(4, -1.0f);
        glGetUniformfv(program, glGetUniformLocation(program, name), values.data());
        return std::vector<GLfloat>(values.begin(), values.begin() + count);
    };
    float pair[] = {0.5f, 2.0f}, triple[] = {1.0f, 2.0f, 3.0f}, tail[] = {7.0f, 8.0f};
    shader.Set_Float("level", 0.25f);
    shader.Set_Integer("index", 3);
    shader.Set_Float2v("pair", pair);
    shader.Set_Float3v("triple", triple);
    shader.Set_Float_Array("row", 2, 2, tail);
    EXPECT_EQ(read_floats("level", 1), std::vector<GLfloat>({0.25f}));
    GLint index = -1;
    glGetUniformiv(program, glGetUniformLocation(program, "index"), &index);
    EXPECT_EQ(index, 3);
    EXPECT_EQ(read_floats("pair", 2), std::vector<GLfloat>({0.5f, 2.0f}));
    EXPECT_EQ(read_floats("triple", 3), std::vector<GLfloat>({1.0f, 2.0f, 3.0f}));
    EXPECT_EQ(read_floats("row[1]", 1), std::vector<GLfloat>({0.0f})) << "elements before `first` are left";
    EXPECT_EQ(read_floats("row[2]", 1), std::vector<GLfloat>({7.0f}));
    EXPECT_EQ(read_floats("row[3]", 1), std::vector<GLfloat>({8.0f}));

    ALLEGRO_BITMAP* image = al_create_bitmap(4, 4);
    shader.Set_Texture("image", 1, image);
    EXPECT_EQ(Gl_Integer(GL_ACTIVE_TEXTURE), GL_TEXTURE0 + 1) << "the bound unit stays active";
    EXPECT_EQ(static_cast<GLuint>(Gl_Integer(GL_TEXTURE_BINDING_2D)), al_get_opengl_texture(image));
    glActiveTexture(GL_TEXTURE0);
    al_destroy_bitmap(image);
    Shader::Clear();
}

TEST_F(Store_Test, A_Shader_That_Does_Not_Build_Is_Unusable_And_Says_Why) {
    Write_File("ok.glsl", VALID_SHADER);
    Shader usable("ok.glsl");
    Write_File("broken.glsl", "void main() { gl_FragColor = vec4(1.0) }\n");
    Shader broken("broken.glsl");
    EXPECT_FALSE(broken.Is_Usable());
    const std::string heading = "Shader broken.glsl didn't compile:\n";
    EXPECT_EQ(broken.Get_Error().rfind(heading, 0), 0u) << broken.Get_Error();
    EXPECT_GT(broken.Get_Error().size(), heading.size()) << "the compiler's own message is kept";
    usable.Apply(), broken.Apply();
    EXPECT_EQ(Gl_Integer(GL_CURRENT_PROGRAM), 0) << "applying an unusable program amounts to Clear";
    Shader missing("missing.glsl");
    EXPECT_TRUE(!missing.Is_Usable() && missing.Get_Program() == 0u);
    usable.Apply(), missing.Clear();
    EXPECT_EQ(Gl_Integer(GL_CURRENT_PROGRAM), 0) << "Clear works whichever shader it is called on";
    std::filesystem::create_directory("folder.glsl");
    EXPECT_EQ(Shader("folder.glsl").Get_Error(), "Shader folder.glsl couldn't be read.");
}

TEST_F(Store_Test, A_Shader_File_The_Program_May_Only_Read_Builds) {
    // Root may write any file, so the shader is built as "nobody", in a fresh run
    // of this test: a forked copy of this process could not use the window.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    namespace fs = std::filesystem;
    Write_File("read_only.glsl", VALID_SHADER);
    fs::permissions("read_only.glsl", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(scratch.Path(), fs::perms::others_exec, fs::perm_options::add);  // mkdtemp made it 0700
    const unsigned int NOBODY = 65534;  // the unprivileged user and its group
    EXPECT_EXIT(
        {
            if (getuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(NOBODY) != 0 || setuid(NOBODY) != 0))
                std::abort();
            Shader read_only("read_only.glsl");
            std::fprintf(stderr, "%s", read_only.Get_Error().c_str());
            std::_Exit(read_only.Is_Usable() ? 0 : 2);
        },
        testing::ExitedWithCode(0), "");
}
