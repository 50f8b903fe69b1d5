#include "document/plaquet_document.h"
