#include "output/SettingsTable.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <functional>

#include "core/SettingsStore.h"
#include "model/StartUp.h"
#include "render/SceneLight.h"
#include "render/ViewSettings.h"

namespace velm {

namespace {

// One key: how its current value is written and how a stored text is taken.
struct Entry {
    std::string key;
    std::function<std::string()> write;
    std::function<void(const std::string&)> read;
};

std::string Format(const char* format, double v) {
    char text[64];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

std::string Floats(const float* v, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += (i ? " " : "") + Format("%.3f", v[i]);
    return out;
}

// "%f %f ..." as the settings have always been read: the leading numbers
// that parse change the leading components.
void ReadFloats(const std::string& text, float* v, int n) {
    const char* p = text.c_str();
    for (int i = 0; i < n; ++i) {
        char* end = nullptr;
        const float f = std::strtof(p, &end);
        if (end == p || !std::isfinite(f)) return;
        v[i] = f;
        p = end;
    }
}

bool ReadNumber(const std::string& text, double& v) {
    char* end = nullptr;
    v = std::strtod(text.c_str(), &end);
    return end != text.c_str() && std::isfinite(v);
}

bool ReadInteger(const std::string& text, int& v) {
    double d = 0;
    if (!ReadNumber(text, d) || d != std::floor(d) || std::fabs(d) > 1e9) return false;
    v = static_cast<int>(d);
    return true;
}

std::string Bool(bool b) { return b ? "TRUE" : "FALSE"; }

// "TRUE" or "FALSE" in any letter case; anything else leaves the value.
void ReadBool(const std::string& text, bool& b) {
    std::string t;
    for (char c : text) t += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (t == "TRUE") b = true;
    else if (t == "FALSE") b = false;
}

std::vector<Entry> Table(PersistentView v) {
    ViewSettings& s = v.settings;
    SceneLighting& l = v.lighting;
    std::vector<Entry> t;
    const auto floats = [&t](const std::string& key, float* value, int n) {
        t.push_back({key, [value, n] { return Floats(value, n); }, [value, n](const std::string& text) { ReadFloats(text, value, n); }});
    };
    const auto number = [&t](const std::string& key, float& value, double lo, double hi) {
        t.push_back({key, [&value] { return Format("%.3f", value); }, [&value, lo, hi](const std::string& text) {
                         double d = 0;
                         if (ReadNumber(text, d) && d >= lo && d <= hi) value = static_cast<float>(d);
                     }});
    };
    const auto boolean = [&t](const std::string& key, bool& value) {
        t.push_back({key, [&value] { return Bool(value); }, [&value](const std::string& text) { ReadBool(text, value); }});
    };

    t.push_back({"printColorDepth", [&s] { return std::to_string(s.printColorDepth); }, [&s](const std::string& text) {
                     int n = 0;
                     if (ReadInteger(text, n) && (n == 16 || n == 24)) s.printColorDepth = n;
                 }});
    floats("matSpecular", l.material.specular.data(), 4);
    // Up to 128, the most GL takes and what "100% shiny" in the lighting
    // dialog sets: a bound of 100 would lose that setting at the next start.
    number("matShininess", l.material.shininess, 0, 128);
    floats("backgroundColor", s.backgroundColor.data(), 4);
    floats("selectionColor", s.selectionColor.data(), 4);
    floats("hBondColor", s.hBondColor.data(), 3);
    boolean("depthCue", s.depthCue);
    boolean("lineAlias", s.lineAlias);
    boolean("smooth3D", s.smooth3D);
    t.push_back({"renderer", [&s] { return std::string(DrawingPathName(s.drawingPath)); },
                 [&s](const std::string& text) {
                     if (const auto path = DrawingPathFromName(text)) s.drawingPath = *path;
                 }});
    t.push_back({"displayStereo", [&s] { return std::to_string(s.stereo); }, [&s](const std::string& text) {
                     int n = 0;
                     if (ReadInteger(text, n) && n == 1) s.stereo = 1;
                 }});
    boolean("clipView", s.clipView);
    boolean("clipSurface", s.clipSurface);
    boolean("displayClipPlane", s.displayClipPlane);
    floats("clipPlaneColor", s.clipPlaneColor.data(), 4);
    t.push_back({"resolution", [&s] { return std::to_string(static_cast<int>(s.quality.Level())); },
                 [&s](const std::string& text) {
                     int n = 0;
                     // The level alone: the slice counts stay as they are.
                     if (ReadInteger(text, n) && n >= 0 && n <= 3)
                         s.quality = TessellationQuality(static_cast<GraphicsQuality>(n), s.quality.Values());
                 }});
    const auto resolution = [&t, &s](const std::string& key, int Resolutions::*field, ResolutionRange range) {
        t.push_back({key, [&s, field] { return std::to_string(s.quality.Values().*field); },
                     [&s, field, range](const std::string& text) {
                         int n = 0;
                         if (!ReadInteger(text, n) || n < range.minimum || n > range.maximum) return;
                         Resolutions r = s.quality.Values();
                         r.*field = n;
                         s.quality = TessellationQuality(s.quality.Level(), r);
                     }});
    };
    resolution("atomRes", &Resolutions::atom, kAtomResolutionRange);
    resolution("bondRes", &Resolutions::bond, kBondResolutionRange);
    resolution("selectionRes", &Resolutions::selection, kSelectionResolutionRange);
    resolution("splineRes", &Resolutions::spline, kSplineResolutionRange);
    resolution("ribbonRes", &Resolutions::ribbon, kRibbonResolutionRange);
    t.push_back({"splineTension", [&s] { return Format("%.3f", s.quality.Values().tension); }, [&s](const std::string& text) {
                     double d = 0;
                     if (!ReadNumber(text, d) || d < 1 || d > 2) return;
                     Resolutions r = s.quality.Values();
                     r.tension = static_cast<float>(d);
                     s.quality = TessellationQuality(s.quality.Level(), r);
                 }});
    number("lineWidth", s.lineWidth, 1, 10);
    boolean("scaleToFit", s.scaleToFit);
    t.push_back({"trajectoryMemory", [&s] { return std::to_string(s.trajectoryMemory); }, [&s](const std::string& text) {
                     int n = 0;
                     if (ReadInteger(text, n) && n >= 0) s.trajectoryMemory = n;
                 }});
    for (int n = 0; n < kSolidLights; ++n) {
        SceneLight& light = l.lights[static_cast<size_t>(FrontLight + n)];
        floats("SolidSpecular" + std::to_string(n), light.specular.data(), 3);
        floats("SolidDiffuse" + std::to_string(n), light.diffuse.data(), 3);
        t.push_back({"TurnOnSolid" + std::to_string(n), [&l, n] { return Bool(l.on[static_cast<size_t>(n)] == 1); },
                     [&l, n](const std::string& text) {
                         bool b = l.on[static_cast<size_t>(n)] != 0;
                         ReadBool(text, b);
                         l.on[static_cast<size_t>(n)] = b ? 1 : 0;
                     }});
    }
    floats("SolidAmbient", l.lights[AmbientLight].ambient.data(), 3);
    t.push_back({"TurnOnAmbient", [&l] { return Bool(l.on[kSwitchedLights - 1] == 1); }, [&l](const std::string& text) {
                     bool b = l.on[kSwitchedLights - 1] != 0;
                     ReadBool(text, b);
                     l.on[kSwitchedLights - 1] = b ? 1 : 0;
                 }});
    boolean("multisample", s.multisample);
    return t;
}

}  // namespace

std::vector<std::string> SettingsKeys() {
    ViewSettings s;
    SceneLighting l;
    std::vector<std::string> keys;
    for (const Entry& e : Table({s, l})) keys.push_back(e.key);
    return keys;
}

void SetViewDefaults(PersistentView view, const SettingsStore* store) {
    // What the run has worked out, not preferences, stays.
    const ViewSettings was = view.settings;
    view.settings = ViewSettings{};
    view.settings.width = was.width;
    view.settings.height = was.height;
    view.settings.SceneRadius = was.SceneRadius;
    view.settings.animation = was.animation;
    view.settings.nowMs = was.nowMs;
    view.settings.lastFrameMs = was.lastFrameMs;
    view.settings.fontScaleNumerator = was.fontScaleNumerator;
    view.settings.fontScaleDenominator = was.fontScaleDenominator;
    view.lighting.SetDefaults();
    if (store) LoadSettings(view, *store);
}

void LoadSettings(PersistentView view, const SettingsStore& store) {
    for (const Entry& e : Table(view)) e.read(store.Get(kSettingsSection, e.key, e.write()));
}

void SaveSettings(const PersistentView& view, SettingsStore& store) {
    for (const Entry& e : Table(view)) store.Set(kSettingsSection, e.key, e.write());
}

void RemoveAllSettings(SettingsStore& store) {
    for (const std::string& key : SettingsKeys()) store.Remove(kSettingsSection, key);
    RecentFileList::Purge(store);
}

}  // namespace velm
