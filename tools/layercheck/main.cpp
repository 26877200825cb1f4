// The layer check. Every header under src/ is included by its path from src/,
// one include root for all targets, so the compiler no longer stops a layer
// from naming a header of a layer above it. This tool does: it reads the
// layer graph the configure step writes (build/layers.txt: each target's
// kind, name, folder and the project targets it links), walks the .cpp and .h
// files (and the .ui layouts' <header> names) of every folder in it and fails on
//   - an include of a layer's header by a file whose target neither is that
//     layer nor reaches it through the targets it links;
//   - an include of a header under src/ by any name but its path from src/.
// Includes are resolved as the compiler resolves them: the including file's
// folder, then src/, then (for names of headers that live outside src/, such
// as app/lib's) every layer's folder.
//
// Usage: quorvel-layer-check GRAPH SOURCE_DIR
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Layer {
    std::string kind; // "library", "test", "program" or "dependency" (no folder)
    std::string name;
    fs::path dir;
    std::vector<std::string> deps;
};

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, separator))
        parts.push_back(part);
    return parts;
}

bool readGraph(const fs::path& file, const fs::path& sourceDir, std::map<std::string, Layer>& layers) {
    std::ifstream in(file);
    if (!in) return false;
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> fields = split(line, '\t');
        if (fields.size() < 2) continue;
        Layer layer;
        layer.kind = fields[0];
        layer.name = fields[1];
        if (fields.size() > 2 && !fields[2].empty()) layer.dir = (sourceDir / fields[2]).lexically_normal();
        if (fields.size() > 3) layer.deps = split(fields[3], ';');
        layers[layer.name] = layer;
    }
    return true;
}

// The layer itself and every layer it reaches through what it links.
std::set<std::string> reachable(const std::map<std::string, Layer>& layers, const std::string& from) {
    std::set<std::string> seen{from};
    std::vector<std::string> queue{from};
    while (!queue.empty()) {
        const std::string name = queue.back();
        queue.pop_back();
        const auto found = layers.find(name);
        if (found == layers.end()) continue;
        for (const std::string& dep : found->second.deps)
            if (seen.insert(dep).second) queue.push_back(dep);
    }
    return seen;
}

std::vector<fs::path> filesOf(const fs::path& dir, const std::set<std::string>& extensions) {
    std::vector<fs::path> files;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir, error))
        if (entry.is_regular_file() && extensions.count(entry.path().extension().string()))
            files.push_back(entry.path().lexically_normal());
    std::sort(files.begin(), files.end());
    return files;
}

bool isUnder(const fs::path& file, const fs::path& dir) {
    const fs::path relative = file.lexically_relative(dir);
    return !relative.empty() && *relative.begin() != "..";
}

class LayerCheck {
  public:
    LayerCheck(std::map<std::string, Layer> layers, fs::path sourceDir)
        : layers_(std::move(layers)), sourceDir_(std::move(sourceDir)), srcRoot_(sourceDir_ / "src") {
        for (const auto& [name, layer] : layers_) {
            if (layer.kind != "library" || layer.dir.empty()) continue;
            layerDirs_.push_back(layer.dir);
            for (const fs::path& header : filesOf(layer.dir, {".h"}))
                owners_[header] = name;
        }
    }

    // Returns the number of violations; prints each.
    int run() {
        int violations = 0;
        for (const auto& [name, layer] : layers_) {
            if (layer.dir.empty()) continue;
            const std::set<std::string> allowed = reachable(layers_, name);
            for (const fs::path& file : filesOf(layer.dir, {".cpp", ".h", ".ui"})) {
                ++files_;
                violations += checkFile(file, layer, allowed);
            }
        }
        return violations;
    }

    int files() const { return files_; }

  private:
    int checkFile(const fs::path& file, const Layer& layer, const std::set<std::string>& allowed) const {
        // A layout names the headers of its custom widgets, which its generated code includes.
        static const std::regex include(R"(^\s*#\s*include\s*"([^"]+)\")");
        static const std::regex layoutHeader(R"(<header>([^<]+)</header>)");
        const std::regex& pattern = file.extension() == ".ui" ? layoutHeader : include;
        std::ifstream in(file);
        std::string line;
        int number = 0, violations = 0;
        while (std::getline(in, line)) {
            ++number;
            const std::string where = file.lexically_relative(sourceDir_).generic_string() + ":" +
                                      std::to_string(number) + ": #include \"";
            for (std::sregex_iterator match(line.begin(), line.end(), pattern), end; match != end; ++match)
                violations +=
                    checkInclude(where + (*match)[1].str() + "\"", file, (*match)[1], layer, allowed);
        }
        return violations;
    }

    int checkInclude(const std::string& where, const fs::path& file, const std::string& name,
                     const Layer& layer, const std::set<std::string>& allowed) const {
        const fs::path header = resolve(file.parent_path(), name);
        if (header.empty()) return 0; // not a project header: generated (ui_*.h), a test's own helper
        int violations = 0;
        const auto owner = owners_.find(header);
        if (owner != owners_.end() && !allowed.count(owner->second)) {
            std::printf("%s: a header of %s, which %s does not link (it may include its own headers and "
                        "those of the layers it links: %s)\n",
                        where.c_str(), owner->second.c_str(), layer.name.c_str(), depsOf(layer).c_str());
            ++violations;
        }
        const std::string rooted = header.lexically_relative(srcRoot_).generic_string();
        if (isUnder(header, srcRoot_) && name != rooted) {
            std::printf("%s: a header of %s named without its path from src/ (the one include root): "
                        "write #include \"%s\"\n",
                        where.c_str(), owner != owners_.end() ? owner->second.c_str() : "src/",
                        rooted.c_str());
            ++violations;
        }
        return violations;
    }

    fs::path resolve(const fs::path& includerDir, const std::string& name) const {
        std::vector<fs::path> candidates{includerDir / name, srcRoot_ / name};
        if (name.find('/') == std::string::npos)
            for (const fs::path& dir : layerDirs_)
                candidates.push_back(dir / name);
        for (const fs::path& candidate : candidates)
            if (fs::is_regular_file(candidate)) return candidate.lexically_normal();
        return {};
    }

    static std::string depsOf(const Layer& layer) {
        std::string text;
        for (const std::string& dep : layer.deps)
            text += (text.empty() ? "" : ", ") + dep;
        return text.empty() ? "none" : text;
    }

    std::map<std::string, Layer> layers_;
    fs::path sourceDir_;
    fs::path srcRoot_;
    std::vector<fs::path> layerDirs_;
    std::map<fs::path, std::string> owners_;
    int files_ = 0;
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s GRAPH SOURCE_DIR\n", argv[0]);
        return 2;
    }
    const fs::path sourceDir = fs::absolute(argv[2]).lexically_normal();
    std::map<std::string, Layer> layers;
    if (!readGraph(argv[1], sourceDir, layers)) {
        std::fprintf(stderr, "%s: cannot read the layer graph\n", argv[1]);
        return 2;
    }
    LayerCheck check(std::move(layers), sourceDir);
    const int violations = check.run();
    if (check.files() == 0) {
        std::fprintf(stderr, "%s: no layer folder has a file to check\n", argv[1]);
        return 2;
    }
    if (violations > 0) {
        std::printf("layer check: %d violations in %d files\n", violations, check.files());
        return 1;
    }
    std::printf("layer check: %d files, no violation\n", check.files());
    return 0;
}
