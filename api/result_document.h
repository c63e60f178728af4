// Reading the service's answer into an XML tree.
#pragma once

#include <string>

#include "xml/xml_node.h"

// The parsed answer: its root element, with the decoded result's fields as direct children.
using ResultDocument = XmlNode;

// Takes the answer apart (code, Base64 result content spliced in as ANSI text) and parses it
// into the caller's empty node with its own copy of DefaultParseOptions. The codes "E001" and
// "E006" leave the node empty. Never fails; a damaged answer gives what could be read.
void ReadResultDocument(const std::string& resultText, ResultDocument& resultNode);
