// The one routine that shows a message and applies the error policy: outside
// the settings dialog the first message is an error that ends the resident
// program; inside the dialog a message is a warning and the dialog stays.
#pragma once

void AlertUser(const char* text);
