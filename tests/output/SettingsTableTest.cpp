#include <gtest/gtest.h>

#include <fstream>

#include "batch/IniSettingsFile.h"
#include "core/SettingsStore.h"
#include "model/StartUp.h"
#include "output/SettingsTable.h"
#include "render/SceneLight.h"
#include "render/ViewSettings.h"
#include "support/TestData.h"

using namespace velm;

namespace {

struct View {
    ViewSettings settings;
    SceneLighting lighting;
    PersistentView Persistent() { return {settings, lighting}; }
    void Load(const std::map<std::string, std::string>& stored) {
        MemorySettingsStore store;
        for (const auto& [k, v] : stored) store.Set(kSettingsSection, k, v);
        LoadSettings(Persistent(), store);
    }
};

TEST(SettingsTable, StoredTextsOutOfRangeOrUnparsedAreIgnored) {
    View v;
    v.Load({{"matShininess", "150"}, {"printColorDepth", "32"}, {"displayStereo", "0"}, {"depthCue", "no"},
            {"lineWidth", "11"}, {"splineTension", "2.5"}, {"atomRes", "80"}, {"backgroundColor", "x"},
            {"renderer", "Shader"}});
    EXPECT_EQ(v.lighting.material.shininess, 15);
    EXPECT_EQ(v.settings.printColorDepth, 16);
    EXPECT_EQ(v.settings.stereo, 0);
    EXPECT_TRUE(v.settings.depthCue);
    EXPECT_EQ(v.settings.lineWidth, 2);
    EXPECT_FLOAT_EQ(v.settings.quality.Values().tension, 1.25f);
    EXPECT_EQ(v.settings.quality.Values().atom, 15);
    EXPECT_EQ(v.settings.backgroundColor, (ColourF{0, 0, 0, 1}));
    EXPECT_EQ(v.settings.drawingPath, DrawingPath::Shader);

    v.Load({{"matShininess", "100"}, {"printColorDepth", "24"}, {"displayStereo", "1"}, {"depthCue", "fALse"},
            {"backgroundColor", "0.5 0.25"}, {"TurnOnSolid3", "true"}, {"TurnOnAmbient", "FALSE"},
            {"SolidDiffuse2", "0.1 0.2 0.3"}});
    EXPECT_EQ(v.lighting.material.shininess, 100);
    EXPECT_EQ(v.settings.printColorDepth, 24);
    EXPECT_EQ(v.settings.stereo, 1);
    EXPECT_FALSE(v.settings.depthCue);
    // Fewer numbers change only the leading components.
    EXPECT_EQ(v.settings.backgroundColor, (ColourF{0.5f, 0.25f, 0, 1}));
    EXPECT_TRUE(v.lighting.IsOn(BackLight));
    EXPECT_FALSE(v.lighting.IsOn(AmbientLight));
    EXPECT_FLOAT_EQ(v.lighting.Light(TopLight).diffuse[2], 0.3f);
    v.Load({{"matShininess", "128"}});  // "100% shiny" comes back
    EXPECT_EQ(v.lighting.material.shininess, 128);
}

TEST(SettingsTable, SliceCountsCountOnlyForTheCustomLevel) {
    View custom;
    custom.Load({{"resolution", "3"}, {"atomRes", "30"}});
    EXPECT_EQ(custom.settings.quality.Level(), GraphicsQuality::Custom);
    EXPECT_EQ(custom.settings.quality.Values().atom, 30);

    // Loading the level leaves the counts; a preset level's own counts come
    // back when the GL state is set up, as the renderer does.
    View low;
    low.Load({{"resolution", "2"}, {"atomRes", "30"}});
    EXPECT_EQ(low.settings.quality.Level(), GraphicsQuality::Low);
    low.settings.quality.SetLevel(low.settings.quality.Level());
    EXPECT_EQ(low.settings.quality.Values().atom, 8);
}

TEST(SettingsTable, SaveThenLoadGivesEveryValueBackAndCleaningRemovesEverything) {
    View a;
    a.settings.backgroundColor = {0.1f, 0.2f, 0.3f, 0.4f};
    a.settings.depthCue = false;
    a.settings.stereo = 1;
    a.settings.clipView = true;
    a.settings.lineWidth = 3.5f;
    a.settings.printColorDepth = 24;
    a.settings.drawingPath = DrawingPath::Fixed;
    a.settings.quality = TessellationQuality(GraphicsQuality::Custom, Resolutions{31, 12, 9, 7, 6, 1.5f});
    a.lighting.material.shininess = 64;
    a.lighting.on = {0, 1, 1, 0, 0, 1, 0};
    a.lighting.lights[RightLight].specular = {0.25f, 0.5f, 0.75f, 0};
    MemorySettingsStore store;
    SaveSettings(a.Persistent(), store);
    EXPECT_EQ(store.values.size(), SettingsKeys().size());
    EXPECT_EQ(store.Get(kSettingsSection, "backgroundColor", ""), "0.100 0.200 0.300 0.400");
    EXPECT_EQ(store.Get(kSettingsSection, "depthCue", ""), "FALSE");
    EXPECT_EQ(store.Get(kSettingsSection, "SolidSpecular1", ""), "0.250 0.500 0.750");

    View b;
    LoadSettings(b.Persistent(), store);
    EXPECT_EQ(b.settings.backgroundColor, a.settings.backgroundColor);
    EXPECT_EQ(b.settings.depthCue, false);
    EXPECT_EQ(b.settings.stereo, 1);
    EXPECT_TRUE(b.settings.clipView);
    EXPECT_FLOAT_EQ(b.settings.lineWidth, 3.5f);
    EXPECT_EQ(b.settings.printColorDepth, 24);
    EXPECT_EQ(b.settings.drawingPath, DrawingPath::Fixed);
    EXPECT_EQ(b.settings.quality.Level(), GraphicsQuality::Custom);
    EXPECT_EQ(b.settings.quality.Values(), a.settings.quality.Values());
    EXPECT_EQ(b.lighting.material.shininess, 64);
    EXPECT_EQ(b.lighting.on, a.lighting.on);
    EXPECT_EQ(b.lighting.lights[RightLight].specular, a.lighting.lights[RightLight].specular);

    // Restore Defaults without the store; Clean Registry at exit.
    SetViewDefaults(b.Persistent(), nullptr);
    EXPECT_TRUE(b.settings.depthCue);
    EXPECT_EQ(b.settings.printMemoryLimit, -1);
    RecentFileList recent;
    recent.Add("/a.pdb");
    recent.Save(store);
    store.Set("Other", "kept", "1");
    RemoveAllSettings(store);
    EXPECT_EQ(store.values.size(), 1u);
    View c;
    SetViewDefaults(c.Persistent(), &store);
    EXPECT_EQ(c.settings.backgroundColor, (ColourF{0, 0, 0, 1}));
}

TEST(IniSettingsFile, ReadsTheDesktopFileWithoutWritingIt) {
    test::TempDir dir;
    const std::string path = dir.Write("Velm.conf",
                                       "[General]\nx=1\n\n[Recent%20File%20List]\nFile1=/home/u/mol one.pdb\n"
                                       "File2=C:\\\\old\\\\path.pdb\n\n[Settings]\nbackgroundColor=0.200 0.300 0.400 1.000\n"
                                       "depthCue=false\nquoted=\"a, b\"\n");
    IniSettingsFile file(path);
    EXPECT_EQ(file.Get("Recent File List", "File1", ""), "/home/u/mol one.pdb");
    EXPECT_EQ(file.Get("Recent File List", "File2", ""), "C:\\old\\path.pdb");
    EXPECT_EQ(file.Get("Settings", "quoted", ""), "a, b");
    EXPECT_EQ(file.Get("Settings", "absent", "fallback"), "fallback");
    View v;
    LoadSettings(v.Persistent(), file);
    EXPECT_EQ(v.settings.backgroundColor, (ColourF{0.2f, 0.3f, 0.4f, 1}));
    EXPECT_FALSE(v.settings.depthCue);
    file.Set("Settings", "depthCue", "TRUE");
    std::ifstream in(path);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("depthCue=false"), std::string::npos);
    EXPECT_EQ(IniSettingsFile(dir.File("missing.conf")).Get("Settings", "depthCue", "x"), "x");
}

}  // namespace
