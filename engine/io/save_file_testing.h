// A switch for tests of the file layer: with unnamed temporaries refused, a
// save takes the path of file systems that have none.
#pragma once

namespace spelkub::save_file_testing {

void AllowUnnamedTemporaries(bool allowed);

}  // namespace spelkub::save_file_testing
