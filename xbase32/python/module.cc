// Entry point of the scripting module XBASE32.

#include <boost/python.hpp>

#include "wdbase_py.h"

BOOST_PYTHON_MODULE(XBASE32) {
  using namespace xbase32::python;
  boost::python::scope().attr("__doc__") =
      "The storage engine of the formula data sets: DBF tables with NTX "
      "indexes and memo files through the class Wdbase.";
  WdbaseClass c("Wdbase", boost::python::init<>());
  BindTable(c);
  BindFields(c);
  BindOperations(c);
}
