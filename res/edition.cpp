#include "res/edition.h"

#include "win32/codepage.h"

namespace res {

namespace {
constexpr StEdition kEditions[] = {
    {EditionId::kHalvorack, "halvorack", 3, "Halvorack.env", "%s/%d/%s:", true, "Taliskor２２ Meridon"},
    {EditionId::kDremmick, "dremmick", 0, "Dremmick.env", "%s/%s:", false, "Taliskor２２"},
    {EditionId::kFennowal, "fennowal", 4, "Fennowal.env", "%s/%s:", false, "Taliskor２２ Sanvelle"},
};
}  // namespace

const StEdition& Edition(EditionId id) { return kEditions[static_cast<int>(id)]; }

std::string DefaultProductName(const StEdition& edition) { return win32::Sjis(edition.default_product_utf8); }

}  // namespace res
