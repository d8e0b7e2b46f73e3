#pragma once
// Bending the template head onto the photo: for every feature point and
// line of the built-in tables that the template uses, the template's
// feature projected into the photo and the user's mark become one weighted
// point-set fit; the head is warped by them all, groups other than the main
// group move rigidly, and the head's centroid keeps its depth along the
// camera's line of sight.

#include "fitting/trafdef.h"
#include "foundation/dynarray.h"
#include "foundation/use.h"

// Pairs the rows found on the head line with those on the photo line (see
// the .cpp); false when the common rows run in different orders.
bool adjustIndices(fnd::dynarray<int>& onHead, fnd::dynarray<int>& onPhoto, int* direction);

// Reverses the photo line when it runs against the head line (direction 0:
// decided from the end-to-end vectors; -1: reversed).
void correctDirection(const fnd::vector<vector3<double>>& headLine, fnd::vector<vector2<double>>& photoLine,
                      int& direction, const htraf3<double>& h);
void correctDirection(const fnd::vector<vector2<double>>& sourceLine, fnd::vector<vector2<double>>& photoLine,
                      int& direction);

// Row numbers to point numbers on the two lines; a row found on only one
// line is dropped from both lists.
void TranslateIndices(fnd::dynarray<int>& onHead, fnd::dynarray<int>& onPhoto,
                      const fnd::vector<vector3<double>>& headLine, const fnd::vector<vector2<double>>& photoLine,
                      const fnd::vector<vector3<double>>& rowHead, const fnd::vector<vector2<double>>& rowPhoto);
void TranslateIndices(fnd::dynarray<int>& onSource, fnd::dynarray<int>& onPhoto,
                      const fnd::vector<vector2<double>>& sourceLine, const fnd::vector<vector2<double>>& photoLine,
                      const fnd::vector<vector2<double>>& rowSource, const fnd::vector<vector2<double>>& rowPhoto);

// Cuts both lines at the indexed points into piece pairs; false when the
// index lists differ in length.
bool cutLinesByPoints(const fnd::dynarray<int>& onHead, const fnd::dynarray<int>& onPhoto,
                      const fnd::vector<vector3<double>>& headLine, const fnd::vector<vector2<double>>& photoLine,
                      fnd::dynarray<fnd::vector<vector3<double>>>& headPieces,
                      fnd::dynarray<fnd::vector<vector2<double>>>& photoPieces);
bool cutLinesByPoints(const fnd::dynarray<int>& onSource, const fnd::dynarray<int>& onPhoto,
                      const fnd::vector<vector2<double>>& sourceLine, const fnd::vector<vector2<double>>& photoLine,
                      fnd::dynarray<fnd::vector<vector2<double>>>& sourcePieces,
                      fnd::dynarray<fnd::vector<vector2<double>>>& photoPieces);

// The features of the current document (marks of the photo kernel's head2,
// the current head3, the overlay view's camera). The absolute value of the
// document's photo number chooses the feature group of the tables (0: codes
// without '@', n: codes ending "@" and the n-th capital letter).
fnd::vector<trafdef22> HeadToPhotoFeatures();

// Unit direction of the line of sight through p of a head-to-photo map (the
// direction in which p's image stays put); zero when there is none.
vector3<double> lineOfSight(const htraf3<double>& h, const vector3<double>& p);
// The part of d along the line of sight through p.
vector3<double> alongLineOfSight(const htraf3<double>& h, const vector3<double>& p, const vector3<double>& d);

// CMainFrame::HeadToPhotoTrafo without the window: works on the current
// document, its head, its views and the progress window. Marks that are not
// finite or lie farther outside the photo than its size are refused with a
// message, the head unchanged.
void HeadToPhotoTrafo();
