#pragma once
// Small feature tables for tests: two colours, four regions, three lines
// of the 3D view and one of the 2D view, three placeable points and one
// single point.

#include <gtest/gtest.h>

#include "model/featuretables.h"
#include "model/head.h"
#include "tests/support/fakes.h"

namespace fixtures {

inline void installSmallTables() {
    installFeatureTable(146,
                        "#colours\r\n"
                        "color_of_skin,0.68,0.52,0.50,skin,bor,\r\n"
                        "color_of_mouth,0.36,0.15,0.19,mouth,szaj,\r\n");
    installFeatureTable(147,
                        "#regions\r\n"
                        "mouth,mouth,color_of_mouth,mouth,szaj,mouth_0,\r\n"
                        "mouth_0,mouth_0,color_of_mouth,m0,sz0,\r\n"
                        "left_eye,right_eye,color_of_skin,le,bsz,\r\n"
                        "right_eye,left_eye,color_of_skin,re,jsz,\r\n");
    installFeatureTable(151,
                        "#lines\r\n"
                        "top_line_of_mouth,top_line_of_mouth,3333,t,f,11,1,2,3,mouth_0,mouth,\r\n"
                        "left_eyebrow,right_eyebrow,3333,l,b,11,1,2,3,left_eye,\r\n"
                        "right_eyebrow,left_eyebrow,0010,r,j,11,1,2,3,right_eye,\r\n"
                        "custom_line_1,custom_line_1,0101,c,e,11,1,2,3,\r\n");
    installFeatureTable(143,
                        "#points\r\n"
                        "tip_of_the_nose,tip_of_the_nose,2.0,1,0,176,0,176,tip,orr,mouth,\r\n"
                        "left_corner_of_the_mouth,right_corner_of_the_mouth,1.0,1,-32,210,-32,210,l,b,mouth_0,mouth,\r\n"
                        "right_corner_of_the_mouth,left_corner_of_the_mouth,5.0,3,32,210,32,210,r,j,mouth,\r\n"
                        "single,single,1.0,0,0,0,0,0,s,s,\r\n");
}

// A test on fresh pools with the small tables, outside the picture-editor
// mode.
class TablesTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetModelState();
        installSmallTables();
        services.app.state().pictureEditor = 0;
    }
    void TearDown() override {
        resetFeatureTables();
        resetModelState();
    }
    fakes::Services services;
};

}  // namespace fixtures
