// Shared by the file fuzz targets: the application's start-up values with
// the full work flow, and a template loader that builds only the cube (the
// full head would take most of each run).
#pragma once

#include <memory>
#include <string>

#include "document/project_file.h"
#include "seams/app.h"

inline void FilesFuzzInit() { svc::app().state().pictureEditor = 0; }

inline std::unique_ptr<head3> FuzzCubeOnly(int id, svc::FaceTables& tables, std::string& reason)
{
	if (id != 121) {
		reason = "not built here";
		return nullptr;
	}
	return files::LoadTemplateHead(id, tables, reason);
}
