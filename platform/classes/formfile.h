#pragma once
// Loading and saving form files: a root component (a data module or form)
// with everything it owns.

#include <memory>
#include <string>
#include <string_view>

#include "platform/classes/component.h"

namespace tabrix {

// Reads a form file into a new root component of the class the file names.
// The root must be a TDataModule or a TForm, so that it joins the
// application's lists. Errors raise EReadError (or EParserError,
// EClassNotFound...) naming the file and the line.
std::unique_ptr<TComponent> LoadFormFile(const std::string& fileName);
std::unique_ptr<TComponent> ReadFormText(std::string_view text, const std::string& fileName);

// Reads a form into an existing root (of the class the text names): how an
// inherited form is read over the components of its ancestor.
void ReadFormTextInto(TComponent& root, std::string_view text, const std::string& fileName);
void LoadFormFileInto(TComponent& root, const std::string& fileName);

// Writes the root and its owned components; with an ancestor, only what
// differs from it (an inherited form). SaveFormFile replaces the file only
// with a complete new one.
std::string WriteFormText(TComponent& root, TComponent* ancestor = nullptr);
void SaveFormFile(const std::string& fileName, TComponent& root, TComponent* ancestor = nullptr);

}  // namespace tabrix
