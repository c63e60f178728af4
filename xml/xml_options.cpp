#include "xml/xml_options.h"

XmlParseOptions DefaultParseOptions;
XmlWriteOptions DefaultWriteOptions;
