// The "Color", "Custom Colors", "Atom Radius" and "Lighting" dialogs and the
// scene colours they edit, without any window.
#include <gtest/gtest.h>

#include "analysis/MakeDocument.h"
#include "core/RecordingUiHooks.h"
#include "dialogs/AtomRadiusForm.h"
#include "dialogs/ColourForm.h"
#include "dialogs/CustomColoursForm.h"
#include "dialogs/LightingForm.h"
#include "model/ColourSchemes.h"
#include "model/VelmDoc.h"
#include "render/SceneColours.h"
#include "support/TestData.h"

using namespace velm;
using velm::test::DataPath;

namespace {

struct Ubiquitin {
    Ubiquitin() : doc(MakeDocument(ui)) {
        EXPECT_EQ(doc->AddMoleculeFromFile(DataPath("1ubi.pdb")), 1);
        ui.calls.clear();
    }
    Molecule& m() { return *doc->Primary(); }
    RecordingUiHooks ui;
    std::unique_ptr<CVelmDoc> doc;
};

std::string Shown(const CustomColoursForm& f) {
    return f.Edit(0) + " " + f.Edit(1) + " " + f.Edit(2) + " " + f.Edit(3);
}

const std::string kByteMessage = std::string("message:") + kByteProblem;

}  // namespace

TEST(ColourForm, BytesAreWholeNumbersFrom0To255AndSlidersClamp) {
    const struct {
        const char* text;
        bool taken;
        int value;
    } texts[] = {{"0", true, 0}, {" 255 ", true, 255}, {"+7", true, 7}, {"256", false, 0}, {"-1", false, 0},
                 {"1.5", false, 0}, {"", false, 0}, {"12a", false, 0}};
    for (const auto& t : texts) {
        int v = 0;
        EXPECT_EQ(ReadByte(t.text, v), t.taken) << t.text;
        EXPECT_EQ(v, t.value) << t.text;
    }

    ColourForm rgba(Rgba{1, 2, 3, 4});
    EXPECT_FALSE(rgba.Move(0, -5));
    EXPECT_FALSE(rgba.Move(3, 300));
    EXPECT_EQ(rgba.Colour(), (Rgba{0, 2, 3, 255}));
    rgba.automaticApply = true;
    EXPECT_TRUE(rgba.Move(1, 9));  // applied at once, and "Apply" is off
    EXPECT_FALSE(rgba.ApplyEnabled());

    // RGB only: the alpha slider is disabled and the colour is opaque.
    ColourForm rgb(Rgba{10, 20, 30, 40}, false);
    EXPECT_FALSE(rgb.ChannelEnabled(3));
    rgb.Move(3, 7);
    EXPECT_EQ(rgb.Colour(), (Rgba{10, 20, 30, 255}));
}

TEST(SceneColours, BytesAreTruncatedAndComeBackUnchanged) {
    ViewSettings s;
    EXPECT_EQ(SceneColourBytes(s, SceneColour::Selection), (Rgba{0, 229, 0, 153}));  // 0.9 and 0.6 x 255
    EXPECT_EQ(SceneColourBytes(s, SceneColour::ClipPlane), (Rgba{127, 127, 127, 127}));
    EXPECT_EQ(SceneColourBytes(s, SceneColour::HydrogenBonds), (Rgba{255, 0, 0, 255}));
    for (SceneColour which : {SceneColour::Background, SceneColour::Selection, SceneColour::HydrogenBonds,
                              SceneColour::ClipPlane})
        for (int b = 0; b < 256; ++b) {
            const auto v = static_cast<std::uint8_t>(b);
            SetSceneColour(s, which, Rgba{v, v, v, v});
            const std::uint8_t alpha = SceneColourHasAlpha(which) ? v : 255;
            ASSERT_EQ(SceneColourBytes(s, which), (Rgba{v, v, v, alpha})) << static_cast<int>(which) << " " << b;
        }
    EXPECT_EQ(s.backgroundColor[3], 1.0f);  // the clear colour stays opaque
}

TEST(CustomColoursForm, EachSchemeEnablesOnlyTheControlsItUses) {
    // Element list, structure list, atom number, residue number, colour edits.
    const struct {
        ColourScheme scheme;
        const char* enabled;
    } table[] = {{ColourByElement, "10001"},    {ColourByAtom, "00101"},         {ColourByResidue, "00011"},
                 {DefaultAtomColours, "00000"}, {ColourByTemperature, "00000"},  {ColourByOccupancy, "00000"},
                 {ColourByStructure, "01001"},  {AminoAcidProperties, "00000"}, {ColourByAminoAcidIndex, "00000"}};
    Ubiquitin u;
    CustomColoursForm form(*u.doc);
    for (const auto& row : table) {
        form.Choose(row.scheme, *u.doc);
        std::string got;
        for (int c = CustomColoursForm::ElementList; c <= CustomColoursForm::ColourEdits; ++c)
            got += form.Enabled(static_cast<CustomColoursForm::Control>(c)) ? '1' : '0';
        EXPECT_EQ(got, row.enabled) << CustomColoursForm::SchemeText(row.scheme);
    }
    // The structure list leaves out the class without a long name.
    EXPECT_EQ(CustomColoursForm::StructureCode(13), TurnVIb);
    EXPECT_EQ(CustomColoursForm::StructureCode(14), GammaClassic);
    EXPECT_EQ(CustomColoursForm::StructureCode(16), UnknownStructure);
}

TEST(CustomColoursForm, EditsShowWhatTheSchemeAddressesOrDashes) {
    Ubiquitin u;
    CustomColoursForm form(*u.doc);
    EXPECT_EQ(form.Scheme(), DefaultAtomColours);  // as loading coloured it
    EXPECT_EQ(Shown(form), "200 200 200 255");      // carbon's, the first element
    form.Choose(ColourByElement, *u.doc);
    form.SelectElement(Oxygen, *u.doc);
    const Rgba o = u.doc->elementColours[Oxygen];
    EXPECT_EQ(Shown(form), std::to_string(o.r) + " " + std::to_string(o.g) + " " + std::to_string(o.b) + " 255");
    form.Choose(ColourByStructure, *u.doc);
    form.SelectStructure(3, *u.doc);
    EXPECT_EQ(Shown(form), "255 255 0 255");  // "Strand (beta sheet)"

    u.m().atoms[0].colour = {1, 2, 3, 4};
    form.Choose(ColourByAtom, *u.doc);
    const struct {
        const char* text;
        const char* shown;
    } atoms[] = {{"1", "1 2 3 4"}, {"99999", "-- -- -- --"}, {"x", "-- -- -- --"}, {"", "-- -- -- --"}};
    for (const auto& a : atoms) {
        form.TypeAtom(a.text, *u.doc);
        EXPECT_EQ(Shown(form), a.shown) << a.text;
    }
    form.Choose(ColourByResidue, *u.doc);
    form.TypeResidue("1", *u.doc);  // MET 1 starts with atom 1
    EXPECT_EQ(Shown(form), "1 2 3 4");
    form.TypeResidue("77", *u.doc);
    EXPECT_EQ(Shown(form), "-- -- -- --");
}

TEST(CustomColoursForm, ApplyRefusesBadColoursAndMissingAtomsChangeNothing) {
    Ubiquitin u;
    CustomColoursForm form(*u.doc);
    const std::vector<Atom> before = u.m().atoms;
    const auto unchanged = [&] {
        for (size_t i = 0; i < before.size(); ++i)
            if (!(u.m().atoms[i].colour == before[i].colour)) return false;
        return true;
    };

    form.Choose(ColourByElement, *u.doc);
    form.TypeEdit(0, "300");
    EXPECT_FALSE(form.Apply(*u.doc, u.ui));
    EXPECT_EQ(u.ui.calls, std::vector<std::string>{kByteMessage});
    EXPECT_TRUE(unchanged());

    form.Choose(ColourByAtom, *u.doc);
    form.TypeAtom("99999", *u.doc);  // the edits show "--": no atom, no message
    EXPECT_TRUE(form.Apply(*u.doc, u.ui));
    EXPECT_EQ(u.ui.calls.size(), 1u);
    EXPECT_TRUE(unchanged());

    // Carbon in magenta: every carbon of the molecule and the document's
    // table; the bonds learn which of them now change colour halfway.
    for (Bond& b : u.m().bonds) b.splitColour = 0;
    form.Choose(ColourByElement, *u.doc);
    form.SelectElement(Carbon, *u.doc);
    form.SetEdits({255, 0, 255, 255});
    EXPECT_TRUE(form.Apply(*u.doc, u.ui));
    EXPECT_EQ(u.doc->elementColours[Carbon], (Rgba{255, 0, 255, 255}));
    for (const Atom& a : u.m().atoms) EXPECT_EQ(a.colour == (Rgba{255, 0, 255, 255}), a.element == Carbon);
    for (const Bond& b : u.m().bonds)
        EXPECT_EQ(b.splitColour != 0, !(u.m().atoms[b.first].colour == u.m().atoms[b.second].colour));

    // "Save Color" keeps absolute values; "Apply Color" writes them back and applies.
    EXPECT_FALSE(form.ApplyColourEnabled());
    form.Choose(ColourByAtom, *u.doc);
    form.TypeAtom("2", *u.doc);
    for (int i = 0; i < 4; ++i) form.TypeEdit(i, std::to_string(i == 0 ? -10 : 10 * (i + 1)));
    EXPECT_TRUE(form.SaveColour(u.ui));
    EXPECT_TRUE(form.ApplyColourEnabled());
    form.TypeEdit(3, "256");
    EXPECT_FALSE(form.SaveColour(u.ui));
    EXPECT_EQ(u.ui.calls.back(), kByteMessage);
    EXPECT_TRUE(form.ApplyColour(*u.doc, u.ui));
    EXPECT_EQ(Shown(form), "10 20 30 40");
    EXPECT_EQ(u.m().atoms[1].colour, (Rgba{10, 20, 30, 40}));

    // Without a molecule there is nothing to apply to.
    u.doc->DeleteMolecules({0});
    form.ShowCurrent(*u.doc);
    EXPECT_FALSE(form.ApplyEnabled(*u.doc));
    EXPECT_EQ(Shown(form), "-- -- -- --");
    EXPECT_TRUE(form.Apply(*u.doc, u.ui));
}

TEST(AtomRadiusForm, RadiusChecksAndWhatApplyDoes) {
    Ubiquitin u;
    AtomRadiusForm form(*u.doc);
    EXPECT_EQ(form.Scheme(), DefaultRadius);
    EXPECT_FALSE(form.Enabled(AtomRadiusForm::RadiusValue));
    form.Choose(RadiusByElement, *u.doc);
    EXPECT_EQ(form.RadiusText(), "1.689");  // carbon, the first element
    EXPECT_TRUE(form.Enabled(AtomRadiusForm::ElementList) && !form.Enabled(AtomRadiusForm::AtomNumber));

    const struct {
        const char* text;
        const char* problem;
    } radii[] = {{"2.5", ""},
                 {" 0 ", ""},
                 {"100", ""},
                 {"abc", "Please enter a number."},
                 {"", "Please enter a number."},
                 {"inf", "Please enter a number."},
                 {"-0.5", "Please enter a number between 0 and 100."},
                 {"100.5", "Please enter a number between 0 and 100."}};
    for (const auto& r : radii) {
        form.TypeRadius(r.text);
        EXPECT_EQ(form.Problem(), r.problem) << r.text;
    }
    // A refused radius is shown and sizes nothing.
    const double was = u.m().atoms[1].radius;
    EXPECT_FALSE(form.Apply(*u.doc, u.ui));
    EXPECT_EQ(u.ui.calls, std::vector<std::string>{"message:Please enter a number between 0 and 100."});
    EXPECT_EQ(u.m().atoms[1].radius, was);

    form.TypeRadius("2.5");
    EXPECT_TRUE(form.Apply(*u.doc, u.ui));
    EXPECT_EQ(u.m().radiusTable.radii[Carbon], 2.5);
    EXPECT_EQ(u.m().atoms[1].radius, 2.5);  // CA

    form.Choose(RadiusByAtom, *u.doc);
    u.m().atoms[0].radius = 1.25;
    form.TypeAtom("1", *u.doc);
    EXPECT_EQ(form.RadiusText(), "1.25");
    form.TypeAtom("99999", *u.doc);
    EXPECT_EQ(form.RadiusText(), "0");
    form.TypeRadius("0.5");
    EXPECT_TRUE(form.Apply(*u.doc, u.ui));  // no such atom: nothing
    form.TypeAtom("3", *u.doc);
    form.TypeRadius("0.5");
    EXPECT_TRUE(form.Apply(*u.doc, u.ui));
    EXPECT_EQ(u.m().atoms[2].radius, 0.5);
    EXPECT_EQ(u.m().atoms[1].radius, 2.5);

    // The temperature scheme ignores the edit, however bad.
    form.Choose(RadiusByTemperature, *u.doc);
    form.TypeRadius("bad");
    EXPECT_TRUE(form.Apply(*u.doc, u.ui));
    const ValueRange t = ShownRange(u.m(), &Atom::temperatureFactor);
    EXPECT_DOUBLE_EQ(u.m().atoms[0].radius, 3 * u.m().atoms[0].temperatureFactor / (t.largest - t.smallest));
    EXPECT_EQ(u.ui.calls.size(), 1u);
}

TEST(LightingForm, OpensOnTheLightsAndAppliesAsTheButtonsSay) {
    SceneLighting lighting;
    lighting.SetDefaults();
    LightingForm form(lighting);
    std::string on;
    for (int b = 0; b < LightingForm::kButtons; ++b) on += form.IsOn(b) ? '1' : '0';
    EXPECT_EQ(on, "1000001");  // Front and Ambient
    EXPECT_EQ(form.Channel(0), 255);
    EXPECT_EQ(form.ShinyText(), "11% shiny");  // 15 x 0.78125
    EXPECT_EQ(form.SpecularText(), "30% specular");

    // Each button switches its own light.
    const SceneLightRole roles[LightingForm::kButtons] = {FrontLight, BackLight,  RightLight,  BottomLight,
                                                          TopLight,   LeftLight, AmbientLight};
    for (int b = 0; b < LightingForm::kButtons; ++b) {
        SceneLighting l = lighting;
        LightingForm f(l);
        EXPECT_FALSE(f.Toggle(b));  // not at once without "Automatic apply"
        ApplyLightingControls(f.Controls(), l);
        for (int r = FrontLight; r <= AmbientLight; ++r)
            EXPECT_EQ(l.IsOn(static_cast<SceneLightRole>(r)),
                      lighting.IsOn(static_cast<SceneLightRole>(r)) != (r == roles[b]))
                << LightingForm::kButtonTexts[b] << " " << r;
    }

    // Ranges: sliders clamp, edits outside 0..255 are not taken.
    form.automaticApply = true;
    EXPECT_TRUE(form.SetShiny(150));
    EXPECT_EQ(form.Shiny(), 100);
    EXPECT_TRUE(form.SetSpecular(-3));
    EXPECT_EQ(form.Specular(), 0);
    EXPECT_FALSE(form.TypeChannel(1, "256"));
    EXPECT_FALSE(form.TypeChannel(1, "x"));
    EXPECT_TRUE(form.TypeChannel(1, "128"));
    EXPECT_EQ(form.Channel(1), 128);
    EXPECT_FALSE(form.ApplyEnabled());
    ApplyLightingControls(form.Controls(), lighting);
    EXPECT_EQ(lighting.material.shininess, 128);  // the most GL takes
    EXPECT_EQ(lighting.material.specular[0], 0);
    EXPECT_FLOAT_EQ(lighting.Light(RightLight).diffuse[1], 64 / 255.0f);
}
