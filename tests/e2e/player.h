#pragma once
// The scenario player: a scenario is a text file, one step a line, played
// against the program in fresh processes (tests/support/fresh_process.h),
// each with the scenario's own XDG_CONFIG_HOME, TMPDIR and program folder.
//
//   # comment; $TMP $CONFIG $PROGRAM $FIX $OUT expand to the run's folders
//   fixture NAME TEMPLATE YAW  (before the first process) a rendered photo with marks
//   figure NAME STRETCH [groups]  (before the first process) template 122 as OBJ, x stretched
//                            (groups: in three groups of their own materials)
//   process ARGS...          a new process: the command line after the name ("a b": one word)
//   clipboard FIXTURE        (before the start) the fixture's photo on the clipboard
//   setting SECTION KEY VAL  (before the start) a value of the settings file
//   copy FROM TO             (before the start) a file copied, its folder made
//   photo FIXTURE            the fixture whose marks `mark` uses
//   answer yes|no|ok|cancel  the next message box's answer
//   file PATH [filter N] | file cancel   the next file dialog's answer
//   modal ... end            the lines between run in the next modal dialog
//   menu ID                  a menu command (number or a name of document/ids.h's table below)
//   button DIALOG CONTROL    a click on a control (DIALOG: layout number or frame;
//                            inside modal: button CONTROL)
//   slider DIALOG CONTROL P  the slider's thumb dragged to P
//   clickin DIALOG CONTROL X Y          a click in the control's client pixels
//   dragin DIALOG CONTROL X1 Y1 X2 Y2   a drag there (inside modal: without DIALOG)
//   key NAME [shift] [ctrl]  a key (a letter, a number or RETURN, ESCAPE, ...)
//   type TEXT                typed into the focus window
//   click VIEW X Y           a click in the view at photo pixel (X, Y)
//   drag VIEW X1 Y1 X2 Y2    a drag in the view between photo pixels
//   figure NAME              (in a process) the figure whose points `markhead` uses
//   markhead [NAME]          a click in the 3D view at the figure's point NAME (the asked one)
//   mark [NAME [VIEW]]       a click at the fixture's mark NAME (ViewOrig2D);
//                            without NAME the point the working-photo view asks for
//   dragmarks                every point the page placed dragged onto its mark (one
//                            the fixture does not mark clicked and deleted)
//   close                    the frame's close box
//   call NAME                the test's own code registered under NAME (RegisterHook)
//   advance MS               the fake clock moves on
//   expect stage|template|layout|view|mode|daz|photo V   the program's state now (photo: WxH)
//   expect dialog N open|gone
//   expect slider DIALOG CONTROL P   the slider's thumb at P
//   expect menus A,B,...     the menu bar's items
//   expect exit N            (after the process) the exit hook's code
//   expect box TEXT          a message box with that text was shown
//   expect file PATH | nofile PATH | same PATH1 PATH2
//   expect obj PATH          assimp reads it: vertices, faces, materials, map_Kd files exist
//   expect samedump A B      the two projects read give equal dumps
//   expect objclose A B TOL  the same vertex lines, each coordinate within TOL
//   expect objnear A B REL   the same vertex count, each vertex within REL x A's size
//   expect objgroups A B     assimp finds the same mesh and material names
//   expect xnear PATH REL    (the xvfb smoke) PATH of the run under X near the headless one
//   shot NAME                (the xvfb player) the screen as NAME.png
//   expect bmp PATH [W H]    ImageMagick reads it (at W x H)
//   expect samepixels A B    ImageMagick finds no pixel that differs
//   expect pixelsnear A B TOL [OPS...]  ImageMagick's RMSE of A against B (changed
//                            by the convert options OPS) at most TOL (0..1)
//   expect varied PATH       not one flat colour (standard deviation above 0.01)
//   expect onphoto VIEW TOL  the shown view puts the head's eye and mouth corners on
//                            their marks within TOL x the outer eye corners' distance
//   expect sameplace V1 V2 TOL  the two views' maps put the head's eye corners, nose
//                            tip and mouth corners at one photo pixel, within TOL so
//   expect viewbmp VIEW PATH (in the process) PATH decodes to the view's rendering size
//                            (its client size, each side w - w mod 4 + 4)

#include <functional>
#include <string>
#include <vector>

#include "tests/e2e/fixtures.h"

namespace e2e {

struct Line {
    int number = 0;
    std::vector<std::string> words;
    std::string rest;  // the text after the first word
    std::vector<Line> block;  // the lines of a modal block
};

struct Process {
    std::vector<std::string> args;
    std::vector<Line> before;     // clipboard, setting, copy
    // Answers, file names and modal scripts before the first step: queued
    // before the start (the first tick of the frame comes before the
    // program first waits for input).
    std::vector<Line> start;
    std::vector<std::vector<Line>> steps;  // each run when the program waits for input
    std::vector<Line> after;      // checks after the process ended
};

// $TMP $CONFIG $PROGRAM $FIX $OUT, and $DAZ: where the DAZ Studio mode
// keeps its exchange files.
struct Folders {
    std::string tmp, config, program, fixtures, out, daz;
};

struct Figure {
    std::string name;
    double stretch = 1;
    bool groups = false;
};

struct Scenario {
    std::vector<FixtureShot> fixtures;
    std::vector<Figure> figures;
    std::vector<Process> processes;
};

// Code of a test that runs in the program's process at a `call NAME` step;
// it reports what it finds wrong through fail.
using Hook = std::function<void(const Folders& folders, const std::function<void(const std::string&)>& fail)>;
void RegisterHook(const std::string& name, Hook hook);

// The scenario's text; false with the line's error.
bool ParseScenario(const std::string& text, Scenario& out, std::string* error);

// Plays every process in turn; the failures (empty: all well).
std::vector<std::string> Play(const Scenario& s, const Folders& folders);

// The checks on files of every process (file, nofile, same, obj, bmp,
// samedump, objclose, objnear, objgroups) after another player played the
// scenario in these folders.
std::vector<std::string> CheckFiles(const Scenario& s, const Folders& folders);

// Each `expect xnear PATH REL` (the headless player skips it): the OBJ at
// PATH of the run in `x` against the one of the run in `headless`, every
// vertex within REL x the head's size.
std::vector<std::string> CompareRuns(const Scenario& s, const Folders& headless, const Folders& x);

}  // namespace e2e
