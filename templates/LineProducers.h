#pragma once

#include "model/Form.h"

#include "templates/ServerLine.h"

// A file target's content: the lines of its template expanded against the current field values,
// in order, without line ends. Pure: no state, no file access, cannot fail.
using LineProducer = ServerLines (*)(const FieldSource &fields);

// The producer of file target i (3 to 14); the target's caption alone says where its file lies.
LineProducer lineProducerOf(int target);
