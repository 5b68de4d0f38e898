#include "common/records.h"

SearchSettings gSettings;
ListingState gListing;
