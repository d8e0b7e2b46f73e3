// Writes small files of the project, head and OBJ writers as seeds of the
// file fuzz targets: file_seeds <folder> makes <folder>/<target>/<name>.
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "document/head_files.h"
#include "document/model_scope.h"
#include "document/obj_export.h"
#include "document/picture_bytes.h"
#include "document/project_file.h"
#include "document/safe_save.h"
#include "fitting/kernel2d.h"
#include "tests/fuzz/files_fuzz_support.h"

namespace {

void put(const std::string &dir, const char *target, const char *name, const std::string &bytes)
{
	std::string folder = dir + "/" + target;
	mkdir(folder.c_str(), 0755);
	files::SafeSave(folder + "/" + name, bytes);
}

}  // namespace

int main(int argc, char **argv)
{
	if (argc != 2)
		return 2;
	std::string dir = argv[1];
	FilesFuzzInit();
	svc::FaceTables tables;
	std::string why;
	std::unique_ptr<head3> cube = files::LoadTemplateHead(121, tables, why);
	if (!cube)
		return 1;
	cube->set_actual();
	auto texture = std::make_unique<TextureImage>();
	texture->width = texture->height = 4;
	for (int i = 0; i < 48; ++i)
		texture->rgb.push_back(static_cast<unsigned char>(i * 5));
	cube->texture = std::move(texture);

	CWinBmp photo;
	photo.Create(9, 7, 32, false);
	std::string photoBytes = files::BmpBytes(photo);
	for (int stage : {1000, 2500})
		for (int templateId : {121, 100})
			for (bool keep : {false, true}) {
				files::ProjectRecord r;
				r.stage = stage;
				r.templateId = templateId;
				r.photo.bytes.assign(photoBytes.begin(), photoBytes.end());
				r.photo.values[2] = 9;
				r.photo.values[3] = 7;
				r.notes = "a_b";
				r.textureSize = 4;
				files::ProjectWriteInputs in;
				in.head = cube.get();
				in.tables = &tables;
				in.keep = keep;
				std::string bytes;
				if (files::WriteProject(r, in, bytes, why))
					put(dir, "fac_fuzz", ("p" + std::to_string(stage) + "_" + std::to_string(templateId) + (keep ? "u" : "n") + ".fac").c_str(), bytes);
			}
	put(dir, "the_fuzz", "cube.the", files::WriteTHE(*cube, &tables, "t"));
	std::string phs;
	if (files::WritePHS(*cube, phs, why))
		put(dir, "phs_fuzz", "cube.phs", phs);
	put(dir, "phs_fuzz", "v1.phs", "1 3 1\n0 0 0 0\n1 10 0 0\n2 0 10 0\n0 0 1 2\n");
	for (int variant = 1; variant <= 4; ++variant) {
		files::ObjExportInputs in;
		in.head = cube.get();
		in.tables = &tables;
		in.variant = variant;
		in.textureSize = 4;
		files::ExportFiles out;
		if (files::BuildObjExport("x.obj", in, out, why))
			put(dir, "obj_fuzz", ("v" + std::to_string(variant) + ".obj").c_str(), out[0].second);
	}
	put(dir, "obj_fuzz", "forms.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nvt 0 0\nvt 1 1\ng a\ng b\nusemtl M\nf 1/1 2/2 3/1 4/2\nf -1//1 -2//1 -3//1\n");
	cube.reset();
	return 0;
}
