#pragma once
// Vertex lists from outside that replace or annotate the current head's
// vertex positions right after a head was read: the built-in age shapes of
// the full template head (TEMPLATE 1220 + age / 10) and the vertex lines of
// the DAZ exchange file. The n-th position belongs to the n-th vertex of the
// vertex chain; head = scale x position - offset. A list whose length is
// not the head's vertex count changes nothing.

#include <string>
#include <string_view>

// age 0, 10 or 20 replaces the positions; 80 and 30 fill the vertices'
// age-80 and age-30 deltas. Only with the full template head (id 122).
void read_age_morph(int age);
// Only in the DAZ mode with a figure other than "Other".
void read_DAZ_morph();

// The morphs that end reading a head: the DAZ morph in the DAZ mode; in
// the picture-editor mode the ages 20, 80 and 30, then 0 when the
// document asks for it, else 10.
void apply_reading_morphs();

// Reading a head applies those morphs only while one of these lives: the
// built-in template heads are read with them; head files, snapshots and
// project heads keep the positions they hold.
class ReadingMorphs {
public:
    ReadingMorphs();
    ~ReadingMorphs();
    ReadingMorphs(const ReadingMorphs&) = delete;
    ReadingMorphs& operator=(const ReadingMorphs&) = delete;
    static bool on();

private:
    bool previous_;
};

// Tests: use text in place of the TEMPLATE resource number (until reset).
void installMorphResource(int number, std::string_view text);
void resetMorphResources();
