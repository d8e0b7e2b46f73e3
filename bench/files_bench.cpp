// Project, head and OBJ files with the full template head (17,491 vertices):
// saving and reading a stage-2500 project at 1024 and 4096, OBJ variant 2
// with and without texture and bump map, the OBJ import against assimp's
// reader on the same file, and a .phs with a 1024 texture.

#include <assimp/cimport.h>
#include <assimp/scene.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "document/head_files.h"
#include "document/model_scope.h"
#include "document/obj_export.h"
#include "document/obj_import.h"
#include "document/picture_bytes.h"
#include "document/project_file.h"
#include "document/safe_save.h"
#include "fitting/kernel2d.h"
#include "model/head.h"

namespace {

std::string folder() {
    static std::string dir = [] {
        std::string p = "/tmp/files_bench_XXXXXX";
        return std::string(mkdtemp(p.data()));
    }();
    return dir;
}

struct Full {
    std::unique_ptr<head3> head;
    svc::FaceTables tables;
};

Full fullHead(int textureSize) {
    svc::app().state().pictureEditor = 0;
    Full f;
    std::string why;
    {
        files::CurrentModelScope scope;
        f.head = files::LoadTemplateHead(122, f.tables, why);
    }
    f.head->set_actual();
    auto t = std::make_unique<TextureImage>();
    t->width = t->height = textureSize;
    t->rgb.resize(std::size_t(textureSize) * textureSize * 3);
    for (std::size_t i = 0; i < t->rgb.size(); ++i) t->rgb[i] = static_cast<unsigned char>(i * 7 + (i >> 12));
    f.head->texture = std::move(t);
    return f;
}

std::vector<uint8_t> photoJpeg() {
    std::string path = folder() + "/photo.jpg";
    std::system(("/usr/bin/convert -size 1200x900 gradient:red-blue -quality 90 " + path).c_str());
    std::string bytes, why;
    files::ReadWholeFile(path, bytes, why);
    return {bytes.begin(), bytes.end()};
}

files::ProjectRecord record(int textureSize, const std::vector<uint8_t>& photo) {
    files::ProjectRecord r;
    r.stage = 2500;
    r.templateId = 122;
    r.textureSize = textureSize;
    r.photo.bytes = photo;
    r.photo.values[2] = 1200;
    r.photo.values[3] = 900;
    CWinBmp p;
    p.Create(1024, 768, 32, false);
    MakePreview(p, r.preview);
    r.notes = "bench";
    return r;
}

void BM_ProjectSave(benchmark::State& state) {
    const int n = int(state.range(0));
    Full f = fullHead(n);
    std::vector<uint8_t> photo = photoJpeg();
    std::string path = folder() + "/p.fac";
    for (auto _ : state) {
        files::ProjectRecord r = record(n, photo);
        files::ProjectWriteInputs in;
        in.head = f.head.get();
        in.tables = &f.tables;
        std::string why;
        if (!files::SaveProject(path, r, in, why)) state.SkipWithError(why.c_str());
    }
}
BENCHMARK(BM_ProjectSave)->Arg(1024)->Arg(4096)->Unit(benchmark::kMillisecond);

std::string savedProject(int n) {
    Full f = fullHead(n);
    files::ProjectRecord r = record(n, photoJpeg());
    files::ProjectWriteInputs in;
    in.head = f.head.get();
    in.tables = &f.tables;
    std::string bytes, why;
    files::WriteProject(r, in, bytes, why);
    return bytes;
}

// The project's own sections and the photo decode; the template is read
// outside the timing.
void BM_ProjectParseSections(benchmark::State& state) {
    const int n = int(state.range(0));
    std::string bytes = savedProject(n);
    for (auto _ : state) {
        state.PauseTiming();
        Full t;
        std::string why;
        {
            files::CurrentModelScope scope;
            t.head = files::LoadTemplateHead(122, t.tables, why);
        }
        std::unique_ptr<head3> ready = std::move(t.head);
        files::ProjectParseOptions o;
        o.loadTemplate = [&](int, svc::FaceTables&, std::string&) { return std::move(ready); };
        files::ProjectRecord r;
        state.ResumeTiming();
        if (!files::ParseProject(bytes, o, r, why)) state.SkipWithError(why.c_str());
        state.PauseTiming();
        r = files::ProjectRecord();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ProjectParseSections)->Arg(1024)->Arg(4096)->Unit(benchmark::kMillisecond);

// The whole read with the template and the octree of the modelled head
// (the views' refresh is not part of this layer).
void BM_ProjectOpenWhole(benchmark::State& state) {
    const int n = int(state.range(0));
    std::string bytes = savedProject(n);
    for (auto _ : state) {
        files::ProjectRecord r;
        std::string why;
        if (!files::ParseProject(bytes, {}, r, why)) state.SkipWithError(why.c_str());
        r.head->set_actual();
        r.head->noTopology = false;
        r.head->post_read(true);
        r.head->SetMinMaxOctree(false);
        state.PauseTiming();
        r = files::ProjectRecord();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ProjectOpenWhole)->Arg(1024)->Arg(4096)->Unit(benchmark::kMillisecond);

void BM_ObjVariant2(benchmark::State& state) {
    const bool withTexture = state.range(0) != 0;
    Full f = fullHead(1024);
    if (!withTexture) f.head->texture.reset();
    CWinBmp age;
    age.Create(withTexture ? 1024 : 0, withTexture ? 1024 : 0, 32, false);
    files::ObjExportInputs in;
    in.head = f.head.get();
    in.tables = &f.tables;
    in.variant = 2;
    in.textureSize = 1024;
    in.agePicture = &age;
    std::string path = folder() + "/v2.obj";
    for (auto _ : state) {
        std::string why;
        if (!files::SaveOBJFile(path, in, why)) state.SkipWithError(why.c_str());
    }
}
BENCHMARK(BM_ObjVariant2)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

std::string variant2File() {
    static std::string path = [] {
        Full f = fullHead(4);
        files::ObjExportInputs in;
        in.head = f.head.get();
        in.tables = &f.tables;
        in.variant = 2;
        std::string p = folder() + "/figure.obj", why;
        files::SaveOBJFile(p, in, why);
        return p;
    }();
    return path;
}

void BM_ObjImportParse(benchmark::State& state) {
    std::string bytes, why;
    files::ReadWholeFile(variant2File(), bytes, why);
    for (auto _ : state) {
        files::ObjImport r;
        if (!files::ParseObj(bytes, svc::app().state(), r, why)) state.SkipWithError(why.c_str());
    }
}
BENCHMARK(BM_ObjImportParse)->Unit(benchmark::kMillisecond);

void BM_ObjImportFileAndParse(benchmark::State& state) {
    for (auto _ : state) {
        files::ObjImport r;
        std::string bytes, why;
        files::ReadWholeFile(variant2File(), bytes, why);
        if (!files::ParseObj(bytes, svc::app().state(), r, why)) state.SkipWithError(why.c_str());
    }
}
BENCHMARK(BM_ObjImportFileAndParse)->Unit(benchmark::kMillisecond);

void BM_ObjImportHeadBuild(benchmark::State& state) {
    std::string bytes, why;
    files::ReadWholeFile(variant2File(), bytes, why);
    for (auto _ : state) {
        state.PauseTiming();
        files::ObjImport r;
        files::ParseObj(bytes, svc::app().state(), r, why);
        state.ResumeTiming();
        files::BuildObjHead(r);
        state.PauseTiming();
        r.head.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ObjImportHeadBuild)->Unit(benchmark::kMillisecond);

void BM_AssimpImport(benchmark::State& state) {
    std::string path = variant2File();
    for (auto _ : state) {
        const aiScene* s = aiImportFile(path.c_str(), 0);
        if (!s) state.SkipWithError("assimp");
        aiReleaseImport(s);
    }
}
BENCHMARK(BM_AssimpImport)->Unit(benchmark::kMillisecond);

void BM_PhsSave(benchmark::State& state) {
    Full f = fullHead(1024);
    std::string path = folder() + "/h.phs";
    for (auto _ : state) {
        std::string why;
        if (!files::SavePHSFile2(path, *f.head, why)) state.SkipWithError(why.c_str());
    }
}
BENCHMARK(BM_PhsSave)->Unit(benchmark::kMillisecond);

}  // namespace
