#include "batch/Batch.h"

// VELM_BATCH_PICTURES 0 builds the batch of the program itself, which loads,
// measures and saves without the drawing libraries and the downloader; runs
// that draw or download go to the picture module, built with 1.
#ifndef VELM_BATCH_PICTURES
#define VELM_BATCH_PICTURES 1
#endif

#include <algorithm>
#include <cmath>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "analysis/AlphaCarbonFit.h"
#include "analysis/MakeDocument.h"
#include "analysis/RmsdSeries.h"
#include "batch/BatchMeasure.h"
#include "batch/IniSettingsFile.h"
#include "batch/StderrUiHooks.h"
#include "core/BoundedFile.h"
#include "core/PrintableText.h"
#include "core/VelmError.h"
#include "core/WorkerThreads.h"
#include "model/ColourSchemes.h"
#include "model/CommandLine.h"
#include "model/PastedValues.h"
#include "model/PdbDownload.h"
#include "model/RadiusSchemes.h"
#include "model/SecondaryStructureCode.h"
#include "model/SequenceRows.h"
#include "model/VelmDoc.h"
#include "output/ImageExport.h"
#include "output/ImageFormat.h"
#include "output/MovieRecording.h"
#include "output/SettingsTable.h"
#include "render/OffscreenRenderer.h"
#include "render/Pick.h"
#include "render/Scene.h"
#include "render/SceneDocumentLink.h"
#include "render/SceneLight.h"
#include "render/SceneOptions.h"
#include "surface/AreaReport.h"
#include "surface/HydrogenBonds.h"

namespace velm {

namespace {
constexpr const char* kUsage =
    "usage: velm -batch [options] FILE...\n"
    "  Loads each PDB file (plain or gzip-compressed) and prints one line per molecule:\n"
    "  path= atoms= models= chains= residues= bonds= frames= hetero= shift=x,y,z\n"
    "  The program's own switches (above with -help) work as on the desktop, written\n"
    "  with '-' or '/'; -pdb FILE names a structure, -bpp and -zbuf are accepted.\n"
    "options:\n"
    "  -no_connect          do not compute covalent bonds\n"
    "  -multi               read the models of a file as the frames of a trajectory\n"
    "  -dcd FILE            read a DCD, XTC or TRR trajectory (told by its content) into\n"
    "                       the last molecule loaded; -xtc FILE and -trr FILE say the same\n"
    "  -stream              read the trajectory's frames from the file as they are shown,\n"
    "                       whatever its size (else only beyond the trajectoryMemory setting)\n"
    "  -rmsd-series         print per frame the RMSD of the alpha carbons to frame 0 after\n"
    "                       superposition: rmsd frame=K value=X\n"
    "  -align | -cm         align every trajectory frame onto the structure, or only\n"
    "                       remove each frame's centre of mass (with -dcd or -multi)\n"
    "  -superpose           superimpose the last molecule onto the first on their alpha\n"
    "                       carbons (paired in order, mass-weighted): rmsd_before= rmsd_after=\n"
    "  -save FILE           write every molecule into one PDB file, where the files had\n"
    "                       them unless moved (superposed), with their chains and elements\n"
    "  -precision N         decimals of the saved coordinates, 3 to 15 (default 3)\n"
    "  -noconect            save without CONECT records\n"
    "  -normalize           save temperature factors scaled to 0.01..99.81 (-nonormalize,\n"
    "                       the default, keeps them as read)\n"
    "  -export-trajectory FILE START STOP\n"
    "                       write frames START..STOP (from 1) as a multi-model PDB file\n"
    "  -fetch ID            download entry ID from a Protein Data Bank server and load it\n"
    "  -server HOST         the server (default files.rcsb.org)\n"
    "  -template TEXT       the request, with %SERVER% and %PDBID%\n"
    "                       (default https://%SERVER%/download/%PDBID%.pdb.gz)\n"
    "  -mmcif               fetch the entry as PDBx/mmCIF (taken anyway when the server\n"
    "                       has no PDB-format file for it)\n"
    "  -values FILE         numbers from a text file into the last molecule loaded:\n"
    "  -target temperature|occupancy  the field they go to (default temperature)\n"
    "  -mode all|ca|single SERIAL|range START STOP\n"
    "                       one per atom, one per residue (alpha carbons), the first to\n"
    "                       one atom, or serials START to STOP - 1 in order (default all)\n"
    "  -ss                  list every residue's secondary structure: chain (_ for\n"
    "                       blank), number, residue name, class; then the count of each class\n"
    "  -sequence            the sequence tool's rows of the primary molecule (the last loaded),\n"
    "                       tab-separated: residue (name number), chain, model, class\n"
    "  -image FILE          draw the scene into FILE.png or FILE.bmp (any size, multisampled\n"
    "                       unless stored off), or as Encapsulated PostScript into FILE.ps or FILE.eps\n"
    "  -width N -height N   size of the view the picture is taken of (default 800 x 600)\n"
    "  -render MODE         WireFrame, Cpk, Points, Sticks, BallAndStick, TraceSticks,\n"
    "                       TraceWireFrame, TraceSpline, SolidRibbon, FlatRibbon, Tube,\n"
    "                       TemperatureTube or OccupancyTube (any letter case; default WireFrame)\n"
    "  -color SCHEME        element, structure, aminoacid, temperature, occupancy or index\n"
    "  -radius SCHEME       default, temperature or occupancy\n"
    "  -defaults            the built-in display settings, not the user's stored ones\n"
    "  -quality LEVEL       high, medium or low tessellation (default: as stored, medium)\n"
    "  -renderer PATH       fixed (OpenGL 1.1) or shader (default: as stored, shader where\n"
    "                       the context runs it)\n"
    "  -frame N             draw trajectory frame N (0: the structure itself)\n"
    "  -background R,G,B    background colour, each 0 to 255 (default: as stored, 0,0,0)\n"
    "  -stereo              split-screen stereo pair\n"
    "  -nodepthcue          no fog towards the back\n"
    "  -nomultisample       pictures drawn with one sample a pixel\n"
    "  -rotate X Y Z        turn the scene by X, Y and Z degrees about the screen's axes\n"
    "  -zoom F              magnify the fitted scene F times\n"
    "  -clip                cut away the scene in front of the clipping plane\n"
    "  -clip-depth D        move the plane D view units along its normal (-7 to 7; implies -clip)\n"
    "  -clip-show           draw the plane\n"
    "  -pick X Y            print what lies under pixel X, Y of the view (y down):\n"
    "                       pick=atom serial= name= residue=, pick=bond serials=A,B or pick=none\n"
    "  -surface solid|mesh|dots  build and draw each molecule's molecular surface\n"
    "  -surface-color R,G,B[,A]  one colour for the surface instead of the nearest atoms'\n"
    "  -surface-alpha A     alpha of the atoms' colours on the surface (0 to 255)\n"
    "  -probe R             probe radius added to every atom, 0 to 3 A (default 0)\n"
    "  -surface-resolution P  grid resolution 0 (1.75 A) to 100 (0.1 A); default 70 (0.595 A)\n"
    "  -surface-solvent     hetero atoms and water take part in the surface\n"
    "  -area residue|atom   print the surface area of the last molecule loaded\n"
    "                       per residue or per atom, with the total\n"
    "  -hbonds              draw the hydrogen bonds\n"
    "  -list-hbonds         print each hydrogen bond: donor-side atom, acceptor, distance (A)\n"
    "  -movie FILE.avi      record trajectory frames -start A to -stop B (default all, from 1)\n"
    "                       at -fps N (1 to 120, default 15) with -codec NAME (default \"DIB \",\n"
    "                       uncompressed); -surface-every-step rebuilds surfaces per frame\n"
    "  -list-codecs         print the codecs -codec takes\n"
    "  -labels -axes -solvent -monitors\n"
    "                       atom serial numbers, coordinate axes, hetero atoms and water,\n"
    "                       distance monitors (with their labels)\n"
    "  -torsion S1 S2 DEGREES  turn the smaller side of the primary molecule about the bond\n"
    "                       of the atoms with serials S1 and S2 (in the frame -frame shows),\n"
    "                       before anything is measured, saved or drawn\n"
    "  -measure S1 S2 [S3 [S4]]  print the coordinates of the primary molecule's atoms with\n"
    "                       those serials and the distances, angles and torsion between them\n"
    "                       (radians), as the Measure window shows them: centred, as drawn\n"
    "  -v                   report progress on stderr\n";

struct BatchOptions {
    CommandLine commandLine;  // the program's own switches and file names
    bool verbose = false;
    bool superpose = false, listStructure = false, listSequence = false, fetchMmcif = false;
    bool stream = false, rmsdSeries = false;  // frames on demand; the RMSD of every frame
    std::optional<std::string> save, exportPath;
    std::string fetchId, fetchServer = kDefaultPdbServer, fetchTemplate = kDefaultPdbTemplate;
    std::string valuesPath;
    PasteOptions paste;
    std::optional<AreaReportKind> area;
    MovieRequest movie;
    bool listCodecs = false;
    bool listHydrogenBonds = false;
    int precision = 3;
    bool conect = true, normalise = false;
    int exportStart = 0, exportStop = 0;
    std::vector<int> measureSerials;
    std::optional<std::pair<int, int>> torsionBond;  // serials
    double torsionDegrees = 0;

    // The scene pictures, picks, surfaces and movies are taken of.
    SceneOptions scene;
    std::string imagePath;          // empty: no picture
    int width = 800, height = 600;  // the view; the picture is all of it
    int frame = 0;
    std::optional<std::pair<int, int>> pick;  // window pixel, y down
    bool defaults = false;                    // ignore the user's stored settings
    std::optional<DrawingPath> drawingPath;  // none: as stored, else the shader path

    bool NeedsScene() const {
        return !imagePath.empty() || pick || scene.surface || scene.hydrogenBonds || area || listHydrogenBonds ||
               !movie.path.empty();
    }
};

bool ParseInteger(const std::string& text, int& value);

// Bytes "R,G,B", each 0..255.
bool ParseColour(const std::string& text, ColourF& colour) {
    int rgb[3];
    size_t start = 0;
    for (int k = 0; k < 3; ++k) {
        const size_t comma = k < 2 ? text.find(',', start) : text.size();
        if (comma == std::string::npos) return false;
        if (!ParseInteger(text.substr(start, comma - start), rgb[k]) || rgb[k] < 0 || rgb[k] > 255) return false;
        start = comma + 1;
    }
    colour = {rgb[0] / 255.0f, rgb[1] / 255.0f, rgb[2] / 255.0f, 1};
    return true;
}

bool ParseInteger(const std::string& text, int& value) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno == ERANGE || v < INT32_MIN || v > INT32_MAX) return false;
    value = static_cast<int>(v);
    return true;
}

// The switches of the program itself, which batch mode reads as the desktop does.
bool IsProgramSwitch(std::string_view name) {
    for (std::string_view n : {"align", "cm", "no_connect", "multi", "?", "help", "pdb", "dcd", "bpp", "zbuf"})
        if (name == n) return true;
    return false;
}

std::string ParseBatchArguments(const std::vector<std::string>& args, BatchOptions& o);

// Parses the arguments; an empty string, or the message of what is wrong.
std::string ParseArguments(const std::vector<std::string>& args, BatchOptions& o) {
    try {
        return ParseBatchArguments(args, o);
    } catch (const VelmError& e) {
        return e.shownText();
    }
}

std::string ParseBatchArguments(const std::vector<std::string>& args, BatchOptions& o) {
    CommandLine& cl = o.commandLine;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string_view name;
        const bool isSwitch = CommandLine::IsSwitch(a, name);
        if (a == "-xtc" || a == "-trr") name = "dcd";  // the trajectory is told by its content
        if (!isSwitch || IsProgramSwitch(name)) {
            cl.ParseParameter(isSwitch ? name : std::string_view(a), isSwitch, i + 1 == args.size());
            continue;
        }
        // Any other switch while a file name is awaited is an error there too.
        cl.ParseParameter(name, true, false);
        auto value = [&](const char* what) -> const std::string* {
            if (i + 1 >= args.size()) return nullptr;
            (void)what;
            return &args[++i];
        };
        if (a == "-superpose") o.superpose = true;
        else if (a == "-ss") o.listStructure = true;
        else if (a == "-sequence") o.listSequence = true;
        else if (a == "-noconect") o.conect = false;
        else if (a == "-nonormalize") o.normalise = false;
        else if (a == "-normalize") o.normalise = true;
        else if (a == "-v") o.verbose = true;
        else if (a == "-mmcif") o.fetchMmcif = true;
        else if (a == "-stream") o.stream = true;
        else if (a == "-rmsd-series") o.rmsdSeries = true;
        else if (a == "-save" || a == "-values") {
            const std::string* v = value("file");
            if (!v) return "A filename was not found on the command line";
            if (a == "-save") o.save = *v;
            else o.valuesPath = *v;
        } else if (a == "-fetch" || a == "-server" || a == "-template") {
            const std::string* v = value("text");
            if (!v) return a + " takes " + (a == "-fetch" ? "an entry id" : a == "-server" ? "a host" : "a request template");
            (a == "-fetch" ? o.fetchId : a == "-server" ? o.fetchServer : o.fetchTemplate) = *v;
        } else if (a == "-target") {
            const std::string* v = value("field");
            if (!v || (*v != "temperature" && *v != "occupancy")) return "-target takes temperature or occupancy";
            o.paste.target = *v == "temperature" ? PasteTarget::TemperatureFactor : PasteTarget::Occupancy;
        } else if (a == "-mode") {
            const std::string* v = value("mode");
            const auto number = [&](int& n) { return i + 1 < args.size() && ParseInteger(args[++i], n); };
            if (v && *v == "all") o.paste.mode = PasteMode::AllAtoms;
            else if (v && *v == "ca") o.paste.mode = PasteMode::AlphaCarbons;
            else if (v && *v == "single" && number(o.paste.serial)) o.paste.mode = PasteMode::SingleAtom;
            else if (v && *v == "range" && number(o.paste.start) && number(o.paste.stop)) o.paste.mode = PasteMode::AtomRange;
            else return "-mode takes all, ca, single SERIAL or range START STOP";
        } else if (a == "-precision") {
            const std::string* v = value("number");
            if (!v || !ParseInteger(*v, o.precision) || o.precision < 3 || o.precision > 15)
                return "-precision takes a number of decimals from 3 to 15";
        } else if (a == "-export-trajectory") {
            if (i + 3 >= args.size() || !ParseInteger(args[i + 2], o.exportStart) ||
                !ParseInteger(args[i + 3], o.exportStop))
                return "-export-trajectory takes a file name and the first and last frame";
            o.exportPath = args[i + 1];
            i += 3;
        } else if (a == "-image") {
            const std::string* v = value("file");
            if (!v) return "A filename was not found on the command line";
            o.imagePath = *v;
            try {
                ImageFormatOfPath(*v);
            } catch (const VelmError& e) {
                return e.shownText();
            }
        } else if (a == "-width" || a == "-height") {
            const std::string* v = value("number");
            int& side = a == "-width" ? o.width : o.height;
            if (!v || !ParseInteger(*v, side) || side < 1) return a + ": Please enter a positive integer.";
        } else if (a == "-render") {
            const std::string* v = value("mode");
            const auto mode = v ? RenderModeFromName(*v) : std::nullopt;
            if (!mode || *mode == Hidden)
                return "-render takes WireFrame, Cpk, Points, Sticks, BallAndStick, TraceSticks, TraceWireFrame, "
                       "TraceSpline, SolidRibbon, FlatRibbon, Tube, TemperatureTube or OccupancyTube";
            o.scene.mode = *mode;
        } else if (a == "-color") {
            const std::string* v = value("scheme");
            if (!v || !(o.scene.colour = ColourSchemeFromName(*v)))
                return "-color takes element, structure, aminoacid, temperature, occupancy or index";
        } else if (a == "-radius") {
            const std::string* v = value("scheme");
            if (!v || !(o.scene.radius = RadiusSchemeFromName(*v))) return "-radius takes default, temperature or occupancy";
        } else if (a == "-renderer") {
            const std::string* v = value("path");
            const auto path = v ? DrawingPathFromName(*v) : std::nullopt;
            if (!path) return "-renderer takes fixed or shader";
            o.drawingPath = *path;
        } else if (a == "-quality") {
            const std::string* v = value("level");
            if (!v || (*v != "high" && *v != "medium" && *v != "low")) return "-quality takes high, medium or low";
            o.scene.quality = *v == "high" ? GraphicsQuality::High : *v == "low" ? GraphicsQuality::Low
                                                                                 : GraphicsQuality::Medium;
        } else if (a == "-measure") {
            o.measureSerials.clear();
            for (int serial; o.measureSerials.size() < 4 && i + 1 < args.size() && ParseInteger(args[i + 1], serial); ++i)
                o.measureSerials.push_back(serial);
            if (o.measureSerials.size() < 2) return "-measure takes the serial numbers of 2 to 4 atoms";
        } else if (a == "-torsion") {
            int s1 = 0, s2 = 0;
            char* end = nullptr;
            if (i + 3 >= args.size() || !ParseInteger(args[i + 1], s1) || !ParseInteger(args[i + 2], s2))
                return "-torsion takes the serial numbers of two bonded atoms and an angle in degrees";
            const std::string& degrees = args[i + 3];
            o.torsionDegrees = std::strtod(degrees.c_str(), &end);
            if (degrees.empty() || *end != '\0' || !std::isfinite(o.torsionDegrees))
                return "-torsion: the angle \"" + EscapedText(degrees) + "\" is not a number of degrees";
            o.torsionBond = {s1, s2};
            i += 3;
        } else if (a == "-frame") {
            const std::string* v = value("number");
            if (!v || !ParseInteger(*v, o.frame) || o.frame < 0) return "-frame takes a frame number from 0";
        } else if (a == "-background") {
            const std::string* v = value("colour");
            ColourF colour{};
            if (!v || !ParseColour(*v, colour)) return "-background takes R,G,B with each from 0 to 255";
            o.scene.background = colour;
        } else if (a == "-rotate") {
            double angles[3];
            for (double& angle : angles) {
                char* end = nullptr;
                if (i + 1 >= args.size()) return "-rotate takes three angles in degrees";
                const std::string& t = args[++i];
                angle = std::strtod(t.c_str(), &end);
                if (t.empty() || *end != '\0' || !std::isfinite(angle)) return "-rotate takes three angles in degrees";
            }
            o.scene.turn = {angles[0], angles[1], angles[2]};
        } else if (a == "-zoom" || a == "-clip-depth") {
            const std::string* v = value("number");
            char* end = nullptr;
            const double f = v ? std::strtod(v->c_str(), &end) : 0;
            if (a == "-zoom") {
                if (!v || v->empty() || *end != '\0' || !(f > 0) || !std::isfinite(f))
                    return "-zoom takes a positive magnification";
                o.scene.zoom = f;
            } else {
                if (!v || v->empty() || *end != '\0' || !(std::fabs(f) <= 7))
                    return "-clip-depth takes a distance from -7 to 7";
                o.scene.clipDepth = f;
                o.scene.clip = true;
            }
        } else if (a == "-pick") {
            int x = 0, y = 0;
            if (i + 2 >= args.size() || !ParseInteger(args[i + 1], x) || !ParseInteger(args[i + 2], y))
                return "-pick takes the x and y of a pixel of the view";
            o.pick = {x, y};
            i += 2;
        } else if (a == "-surface") {
            const std::string* v = value("style");
            if (v && *v == "solid") o.scene.surface = SolidSurface;
            else if (v && *v == "mesh") o.scene.surface = MeshSurface;
            else if (v && *v == "dots") o.scene.surface = DotSurface;
            else return "-surface takes solid, mesh or dots";
        } else if (a == "-surface-color") {
            const std::string* v = value("colour");
            ColourF c{};
            const std::string text = v ? *v : "";
            const size_t comma = text.rfind(',');
            int alpha = 255;
            // R,G,B or R,G,B,A
            const bool four = std::count(text.begin(), text.end(), ',') == 3;
            if (!v || !ParseColour(four ? text.substr(0, comma) : text, c) ||
                (four && (!ParseInteger(text.substr(comma + 1), alpha) || alpha < 0 || alpha > 255)))
                return "-surface-color takes R,G,B or R,G,B,A with each from 0 to 255";
            o.scene.surfaceOptions.userColour = Rgba{static_cast<std::uint8_t>(std::lround(c[0] * 255)), static_cast<std::uint8_t>(std::lround(c[1] * 255)),
                                         static_cast<std::uint8_t>(std::lround(c[2] * 255)), static_cast<std::uint8_t>(alpha)};
        } else if (a == "-surface-alpha" || a == "-surface-resolution") {
            const std::string* v = value("number");
            int n = 0;
            if (!v || !ParseInteger(*v, n) || n < 0 || n > (a == "-surface-alpha" ? 255 : 100))
                return a + (a == "-surface-alpha" ? " takes an alpha from 0 to 255" : " takes a position from 0 to 100");
            if (a == "-surface-alpha") o.scene.surfaceOptions.atomAlpha = static_cast<std::uint8_t>(n);
            else o.scene.surfaceOptions.resolutionPosition = n;
        } else if (a == "-probe") {
            const std::string* v = value("radius");
            char* end = nullptr;
            const double r = v ? std::strtod(v->c_str(), &end) : -1;
            if (!v || v->empty() || *end != '\0' || !(r >= 0 && r <= 3)) return "-probe: Please enter a number between 0 and 3.";
            o.scene.surfaceOptions.probeRadius = static_cast<float>(r);
        } else if (a == "-area") {
            const std::string* v = value("kind");
            if (v && *v == "residue") o.area = AreaReportKind::ByResidue;
            else if (v && *v == "atom") o.area = AreaReportKind::ByAtom;
            else return "-area takes residue or atom";
        } else if (a == "-movie" || a == "-codec") {
            const std::string* v = value("text");
            if (!v) return a == "-movie" ? "A filename was not found on the command line" : "-codec takes a name of -list-codecs";
            (a == "-movie" ? o.movie.path : o.movie.codec) = *v;
        } else if (a == "-fps") {
            const std::string* v = value("number");
            if (!v || !ParseInteger(*v, o.movie.rate) || o.movie.rate < 1 || o.movie.rate > kMaxMovieRate)
                return "Please enter a frame rate between 1 and 120";
        } else if (a == "-start" || a == "-stop") {
            const std::string* v = value("number");
            if (!v || !ParseInteger(*v, a == "-start" ? o.movie.start : o.movie.stop)) return "Please enter a valid step range!";
        } else if (a == "-surface-every-step") o.movie.updateSurfaceEveryStep = true;
        else if (a == "-list-codecs") o.listCodecs = true;
        else if (a == "-surface-solvent") o.scene.surfaceOptions.includeSolvent = true;
        else if (a == "-hbonds") o.scene.hydrogenBonds = true;
        else if (a == "-list-hbonds") o.listHydrogenBonds = true;
        else if (a == "-clip") o.scene.clip = true;
        else if (a == "-clip-show") o.scene.showClipPlane = true;
        else if (a == "-stereo") o.scene.stereo = true;
        else if (a == "-defaults") o.defaults = true;
        else if (a == "-nodepthcue") o.scene.depthCue = false;
        else if (a == "-nomultisample") o.scene.multisample = false;
        else if (a == "-labels") o.scene.labels = true;
        else if (a == "-axes") o.scene.axes = true;
        else if (a == "-solvent") o.scene.solvent = true;
        else if (a == "-monitors") o.scene.monitors = true;
        else return "unknown option " + a;
    }
    if (cl.help || o.listCodecs) return "";
    const size_t structures = cl.files.size() + (o.fetchId.empty() ? 0 : 1);
    if (structures == 0) return "no coordinate file given";
    if (cl.dcd && structures > 1) return "Only one structure can be read when reading DCD files";
    if (o.superpose && structures < 2) return "-superpose needs two structures";
    return "";
}

// "A 52A SER Strand" per residue, then "counts AlphaHelix=... Coil=...".
void PrintSecondaryStructure(const Molecule& m, std::FILE* out) {
    int counts[kSecondaryStructureCodes] = {};
    for (const Chain& c : m.chains) {
        for (const Residue& r : c.residues) {
            const std::string name = EscapedText(m.atoms[r.atoms.front()].ResidueName());
            const int code = r.secondaryStructure >= 0 && r.secondaryStructure < kSecondaryStructureCodes
                                 ? r.secondaryStructure
                                 : UnknownStructure;
            ++counts[code];
            const std::string_view cls = SecondaryStructureShortName(code);
            std::fprintf(out, "%c %d%s %.*s %.*s\n", c.id == ' ' ? '_' : c.id, r.number,
                         r.insertionCode == ' ' ? "" : std::string(1, r.insertionCode).c_str(),
                         static_cast<int>(name.size()), name.data(), static_cast<int>(cls.size()), cls.data());
        }
    }
    std::fputs("counts", out);
    for (int code = 0; code < kSecondaryStructureCodes; ++code) {
        if (counts[code] == 0 && code > Turn) continue;
        const std::string_view cls = SecondaryStructureShortName(code);
        std::fprintf(out, " %.*s=%d", static_cast<int>(cls.size()), cls.data(), counts[code]);
    }
    std::fputc('\n', out);
}

// A path with blanks, quotes or control characters is written quoted and
// escaped, so that lines split on blanks and one path is one field of one line.
std::string PathField(const std::string& path) { return QuotedField(path); }

#if VELM_BATCH_PICTURES
// "hbond donor=... acceptor=... distance=" per displayed hydrogen bond; an
// atom is serial:name:residue, with its molecule's path when several are loaded.
void PrintHydrogenBonds(const CVelmDoc& doc, std::FILE* out) {
    const bool several = doc.MoleculeCount() > 1;
    const auto atom = [&](const Molecule& m, int i) {
        const Atom& a = m.atoms[static_cast<size_t>(i)];
        std::string text = std::to_string(a.serial) + ":" + EscapedText(a.Name()) + ":" + EscapedText(a.ResidueName()) +
                           std::to_string(a.residueNumber);
        return several ? PathField(m.path) + ":" + text : text;
    };
    for (const DisplayHBond& b : doc.HydrogenBonds()) {
        const auto place = [&](const Molecule& m, int i) {
            return several ? Placement(m.trackball).Place(m.Position(i)) : m.Position(i);
        };
        const double d = Length(place(*b.donorMolecule, b.donor) - place(*b.acceptorMolecule, b.acceptor));
        std::fprintf(out, "hbond donor=%s acceptor=%s distance=%.3f\n", atom(*b.donorMolecule, b.donor).c_str(),
                     atom(*b.acceptorMolecule, b.acceptor).c_str(), d);
    }
    std::fprintf(out, "hbonds=%d\n", doc.HydrogenBonds().Count());
}
#endif

void PrintHelp(std::FILE* out) {
    std::string help = kCommandLineHelp;
    std::erase(help, '\r');
    std::fprintf(out, "%s\n\n%s", help.c_str(), kUsage);
}

// No file of values comes near this: a number for each of ten million atoms.
constexpr size_t kMaxValuesBytes = size_t{256} << 20;

// Values from a text file (or a pipe) into the primary molecule, as a paste
// would put them.
void PasteValuesFromFile(CVelmDoc& doc, const std::string& path, const PasteOptions& options, UiHooks& ui) {
    std::string text, problem;
    if (!ReadBoundedFile(path, kMaxValuesBytes, true, text, problem)) throw VelmError("Unable to read values: " + problem);
    PasteValues(doc, text, options, ui);
}

// The error line: the file worked on and the message, control characters
// escaped wherever the file's name appears.
void PrintError(std::FILE* err, const std::string& doing, std::string message) {
    const std::string shown = EscapedText(doing);
    if (shown != doing)
        for (size_t at = message.find(doing); !doing.empty() && at != std::string::npos; at = message.find(doing, at + shown.size()))
            message.replace(at, doing.size(), shown);
    if (doing.empty()) std::fprintf(err, "velm: %s\n", message.c_str());
    else std::fprintf(err, "velm: %s: %s\n", shown.c_str(), message.c_str());
}

void ShowFrame(CVelmDoc& doc, int frame) {
    if (frame >= doc.AnimationFrames())
        throw VelmError("-frame " + std::to_string(frame) + ": the trajectory has frames 0 to " +
                        std::to_string(doc.AnimationFrames() - 1));
    doc.SetFrame(frame);
}

#if VELM_BATCH_PICTURES
// The scene of pictures, picks, surfaces and movies: the view's size, the
// user's stored settings unless -defaults, then the options.
void SetUpScene(Scene& scene, CVelmDoc& doc, const BatchOptions& o) {
    ShowFrame(doc, o.frame);
    scene.settings.width = o.width;
    scene.settings.height = o.height;
    if (!o.defaults) LoadSettings({scene.settings, scene.lighting}, IniSettingsFile::UserSettings());
    if (o.drawingPath) scene.settings.drawingPath = *o.drawingPath;
    // Every molecule takes the options, as the menu commands would for a
    // selection of all of them.
    doc.SelectAll();
}
#endif

}  // namespace

std::string MoleculeSummary(const Molecule& m) {
    // The models (the frames and the structure, or the runs of model
    // numbers) and the hetero atoms in one walk: a million atoms do not stay
    // in the caches between two.
    int models = m.atoms.empty() ? 0 : 1, hetero = 0;
    for (size_t i = 0; i < m.atoms.size(); ++i) {
        hetero += m.atoms[i].hetero != 0;
        if (i > 0 && m.atoms[i].model != m.atoms[i - 1].model) ++models;
    }
    if (m.FrameCount() > 0) models = m.FrameCount() + 1;
    char numbers[512];
    std::snprintf(numbers, sizeof numbers,
                  " atoms=%d models=%d chains=%zu residues=%d bonds=%zu frames=%d hetero=%d shift=%.4f,%.4f,%.4f",
                  m.AtomCount(), models, m.chains.size(), m.ResidueCount(), m.bonds.size(), m.FrameCount(), hetero,
                  m.centreShift.x, m.centreShift.y, m.centreShift.z);
    return "path=" + PathField(m.path) + numbers;
}

bool BatchOpensModules(const std::vector<std::string>& args) {
    BatchOptions o;
    if (!ParseArguments(args, o).empty()) return false;  // the usage error needs no module
    return o.NeedsScene() || o.listCodecs || !o.fetchId.empty();
}

int RunBatch(const std::vector<std::string>& args, std::FILE* out, std::FILE* err, bool leaveDocument) {
    BatchOptions o;
    if (const std::string problem = ParseArguments(args, o); !problem.empty()) {
        std::fprintf(err, "velm: %s\n%s", problem.c_str(), kUsage);
        return 2;
    }
    const CommandLine& cl = o.commandLine;
    if (cl.help) {
        PrintHelp(out);
        return 0;
    }
    if (o.listCodecs) {
#if VELM_BATCH_PICTURES
        for (const MovieCodec& c : AvailableMovieCodecs()) std::fprintf(out, "codec=\"%s\" %s\n", c.name.c_str(), c.description.c_str());
#endif
        if (cl.files.empty() && o.fetchId.empty()) return 0;
    }

    StderrUiHooks ui(err, o.verbose);
    std::unique_ptr<CVelmDoc> document = MakeDocument(ui);
    CVelmDoc& doc = *document;
    struct Leave {
        std::unique_ptr<CVelmDoc>& document;
        bool leave;
        ~Leave() {
            if (leave) static_cast<void>(document.release());
        }
    } leave{document, leaveDocument};
    doc.options.computeConnectivity = cl.connect;
    doc.options.multipleAsTrajectory = cl.multi;
    if (cl.multi) doc.options.trajectoryReadMode = cl.TrajectoryMode();
    std::string doing;  // the file being worked on, for messages
    std::string task = "reading the input";  // what is being done, for a failure that is not our own
    try {
        for (const std::string& path : cl.files) {
            doing = path;
            if (!doc.AddMoleculeFromFile(path)) throw VelmError("Unable to read file");
        }
        ReleaseThreadBeside();  // what follows starts threads of its own
        if (!o.fetchId.empty()) {
            doing.clear();
#if !VELM_BATCH_PICTURES
            throw VelmError("downloads are made by the picture module");
#else
            PdbHistory history;
            FetchPdbEntry(doc, history, o.fetchTemplate, o.fetchServer, o.fetchId, ui, o.fetchMmcif);
#endif
        }
        if (cl.dcd) {
            doing = cl.trajectory;
            doc.options.framesOnDemand = o.stream;
            if (!o.defaults) {
                ViewSettings stored;
                SceneLighting lighting;
                LoadSettings({stored, lighting}, IniSettingsFile::UserSettings());
                doc.options.trajectoryMemory = stored.trajectoryMemory;
            }
            doc.ReadTrajectoryIntoPrimary(cl.trajectory, cl.TrajectoryMode());
        }
        if (!o.valuesPath.empty()) {
            doing = o.valuesPath;
            PasteValuesFromFile(doc, o.valuesPath, o.paste, ui);
        }
        for (const auto& m : doc.Molecules()) {
            std::fprintf(out, "%s\n", MoleculeSummary(*m).c_str());
            if (o.listStructure) PrintSecondaryStructure(*m, out);
        }
        if (o.listSequence && doc.Primary())
            for (const SequenceRow& row : SequenceRows(*doc.Primary()))
                std::fprintf(out, "%s\t%c\t%d\t%s\n", row.residue.c_str(), row.chain, row.model, row.structure.c_str());
        if (o.rmsdSeries && doc.Primary()) {
            doing.clear();
            task = "computing the RMSD series";
            const std::vector<double> series = AlphaCarbonRmsdSeries(*doc.Primary());
            for (size_t k = 0; k < series.size(); ++k) std::fprintf(out, "rmsd frame=%zu value=%.4f\n", k, series[k]);
        }
        if (o.superpose) {
            doing.clear();
            const Molecule& fixed = *doc.Molecules()[0];
            Molecule& moving = *doc.Molecules()[doc.MoleculeCount() - 1];
            const AlphaCarbonFit fit = SuperposeOnAlphaCarbons(doc, fixed, moving);
            std::fprintf(out, "pairs=%zu rmsd_before=%.4f rmsd_after=%.4f\n", fit.pairs, fit.rmsdBefore, fit.rmsdAfter);
        }
        if (o.torsionBond || !o.measureSerials.empty()) {
            doing.clear();
            task = "measuring";
            // The frame the picture shows is the one turned and measured.
            ShowFrame(doc, o.frame);
            if (o.torsionBond) TurnTorsion(doc, o.torsionBond->first, o.torsionBond->second, o.torsionDegrees);
            if (!o.measureSerials.empty()) PrintMeasurement(doc, o.measureSerials, out);
        }
        if (o.NeedsScene()) {
#if !VELM_BATCH_PICTURES
            throw VelmError("pictures, picks, surfaces and movies are drawn by the picture module");
#else
            doing.clear();
            task = "building the scene (surfaces, hydrogen bonds)";
            Scene scene;
            SetUpScene(scene, doc, o);
            scene.fallbackNotice = [err](const std::string& text) { std::fprintf(err, "velm: %s\n", text.c_str()); };
            SceneDocumentLink link(scene, doc);
            ApplySceneOptions(scene, doc, o.scene, ui);
            OffscreenRenderer offscreen(scene);
            if (o.area) {
                task = "computing the surface areas";
                const AreaReport report = SurfaceAreaReport(*doc.Primary(), *o.area, ui);
                std::fprintf(out, "%s\n%s\n", report.caption.c_str(), report.text.c_str());
            }
            if (!o.movie.path.empty()) {
                doing = o.movie.path;
                task = "recording the movie";
                MovieRequest movie = o.movie;
                movie.width = o.width;
                movie.height = o.height;
                const RecordedMovie recorded = RecordMovie(offscreen, doc, movie, ui);
                std::fprintf(out, "movie=%s frames=%d fps=%d size=%dx%d codec=\"%s\"\n", PathField(movie.path).c_str(),
                             recorded.frames, movie.rate, recorded.width, recorded.height, EscapedText(movie.codec).c_str());
            }
            if (o.listHydrogenBonds) {
                doing.clear();
                task = "finding the hydrogen bonds";
                if (!o.scene.hydrogenBonds) RecomputeHydrogenBonds(doc);
                PrintHydrogenBonds(doc, out);
            }
            if (!o.imagePath.empty()) {
                doing = o.imagePath;
                task = "drawing the picture";
                ExportImage(offscreen, doc, o.imagePath, o.width, o.height, ui);
            }
            if (o.pick) {
                doing.clear();
                task = "picking";
                const PickResult hit = PickOffscreen(offscreen, doc.Molecules(), o.pick->first, o.pick->second, ui);
                std::fprintf(out, "%s\n", EscapedText(PickResultLine(hit)).c_str());
            }
#endif
        }
        if (o.save) {
            doing = o.save->empty() ? "-save" : *o.save;
            task = "saving";
            doc.SaveCoordinates(*o.save, o.precision, o.conect, o.normalise);
        }
        if (o.exportPath) {
            doing = o.exportPath->empty() ? "-export-trajectory" : *o.exportPath;
            task = "exporting the trajectory";
            doc.ExportTrajectory(*o.exportPath, o.exportStart, o.exportStop);
        }
        std::fflush(out);
    } catch (const VelmError& e) {
        std::fflush(out);
        // Our own allocation failures say only that; the step says where.
        PrintError(err, doing, e.shownText() == "Out of memory" ? "Out of memory while " + task : e.shownText());
        return 1;
    } catch (const std::bad_alloc&) {
        std::fflush(out);
        PrintError(err, doing, "Out of memory while " + task);
        return 1;
    } catch (const std::exception& e) {
        std::fflush(out);
        PrintError(err, doing, task == "reading the input" ? "Unable to read input file!" : "Failed while " + task + ": " + e.what());
        return 1;
    }
    return 0;
}

}  // namespace velm
