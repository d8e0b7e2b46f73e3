#pragma once
// Photos of the template heads made at test time: the head rendered through
// a known camera off screen (Mesa), written as JPEG by ImageMagick, with the
// photo pixels of its feature points as "name x y" lines.

#include <map>
#include <string>
#include <vector>

namespace e2e {

struct FixtureShot {
    std::string name;  // files <name>.jpg and <name>.marks
    int templateId = 122;
    double yawDegrees = 12;    // about the vertical axis
    double pitchDegrees = -6;  // about the horizontal axis
    int width = 1024, height = 768;
};

// Renders the fixture (lit, no texture) into dir in a process of its own (the GL context of a
// render does not outlive it); true when both files were written.
bool MakeFixture(const FixtureShot& wanted, const std::string& dir, std::string* why);

// The template head 122 exported by the program as a plain OBJ (with its
// material file and a grey texture) named <name>.obj in dir, every x
// coordinate stretched by `stretch`: a figure as another program left it.
// With `groups` the faces are split into three groups of their own
// materials, as a figure of DAZ Studio carries them: "head" (skinface),
// "mouth" (lip) and "sockets" (eyesocket).
bool MakeFigure(const std::string& name, double stretch, const std::string& dir, std::string* why,
                bool groups = false);

struct Mark {
    double x = 0, y = 0;
};
// The marks file: name -> photo pixel, in the file's order in `order`.
std::map<std::string, Mark> ReadMarks(const std::string& path, std::vector<std::string>* order = nullptr);

}  // namespace e2e
