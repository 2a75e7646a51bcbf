#include "net/fetch_title.h"

#include "net/visit_outcome.h"

namespace trasslo {

LocalText fetch_title(std::string_view address_template, std::string_view keyword, int encoding) {
    return make_visit(address_template, keyword, encoding).title;
}

}  // namespace trasslo
