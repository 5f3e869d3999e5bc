#pragma once
// Passwords given on the command line (in a PostgreSQL connection string)
// are remembered here, so that every text the command prints, errors and
// progress alike, shows "***" in their place. A database driver may quote
// a connection string it cannot read; the password must not reach a log.
//
//   RememberConnectionSecrets("host=db user=ann password=s3cret");
//   HideSecrets("... password=s3cret ...")   // "... password=*** ..."

#include <string>
#include <string_view>
#include <vector>

namespace tabrix::cli {

inline constexpr std::string_view kHiddenSecret = "***";

// The passwords of a libpq connection string: the value of "password=" in
// the keyword form (quoted or not), the part between ":" and "@" of a URI
// (as written and percent-decoded), and the "password" URI parameter.
std::vector<std::string> ConnectionSecrets(std::string_view conninfo);

// Remembers the passwords of conninfo for HideSecrets.
void RememberConnectionSecrets(std::string_view conninfo);

// text with every remembered password replaced by kHiddenSecret.
std::string HideSecrets(std::string text);

}  // namespace tabrix::cli
