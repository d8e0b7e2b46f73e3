#pragma once
// A GL double that records what the head kernel compiles and uploads.

#include <string>
#include <vector>

#include "fitting/gl_interface.h"
#include "foundation/use.h"

struct RecordingGL : glx::GL {
    struct Vertex {
        vector3<double> p, normal;
        vector2<double> tex;
        vector3<double> colour;  // the last glColor3f
    };
    struct List {
        unsigned id = 0;
        std::vector<Vertex> vertices;
        std::vector<std::string> calls;
    };
    struct Upload {
        unsigned target;
        long level, internalFormat, width, height, border;
        unsigned format, type;
        std::vector<unsigned char> pixels;  // width x height x 3 bytes copied
        const void* pointer;
    };

    std::vector<List> lists;
    std::vector<unsigned> deleted;
    std::vector<Upload> uploads;
    vector2<double> tex;
    vector3<double> normal, colour{-1, -1, -1};

    RecordingGL() { previous = glx::install(this); }
    ~RecordingGL() override { glx::install(previous); }

    List* list(unsigned id) {
        List* found = nullptr;
        for (List& l : lists)
            if (l.id == id) found = &l;  // the newest
        return found;
    }

    void DeleteLists(unsigned list, int range) override { deleted.push_back(list + 1000 * unsigned(range)); }
    void NewList(unsigned id, unsigned mode) override {
        lists.push_back({id, {}, {}});
        call("NewList");
        (void)mode;
    }
    void EndList() override { call("EndList"); }
    void Begin(unsigned) override { call("Begin"); }
    void End() override { call("End"); }
    void Materialfv(unsigned, unsigned pname, const float* v) override {
        call("Materialfv " + std::to_string(pname) + " " + std::to_string(v[0]) + " " + std::to_string(v[1]) +
             " " + std::to_string(v[2]) + " " + std::to_string(v[3]));
    }
    void Materialf(unsigned, unsigned pname, float v) override {
        call("Materialf " + std::to_string(pname) + " " + std::to_string(v));
    }
    void Color3f(float r, float g, float b) override { colour = {r, g, b}; }
    void TexCoord2d(double u, double v) override { tex = {u, v}; }
    void Normal3d(double x, double y, double z) override { normal = {x, y, z}; }
    void Vertex3d(double x, double y, double z) override {
        if (!lists.empty()) lists.back().vertices.push_back({{x, y, z}, normal, tex, colour});
    }
    void TexImage2D(unsigned target, long level, long internalFormat, long width, long height, long border,
                    unsigned format, unsigned type, const void* pixels) override {
        const unsigned char* p = static_cast<const unsigned char*>(pixels);
        uploads.push_back({target, level, internalFormat, width, height, border, format, type,
                           p ? std::vector<unsigned char>(p, p + width * height * 3) : std::vector<unsigned char>{},
                           pixels});
    }

private:
    void call(const std::string& s) {
        if (!lists.empty()) lists.back().calls.push_back(s);
    }
    glx::GL* previous = nullptr;
};
