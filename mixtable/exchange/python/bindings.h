// The parts of the scripting module MIXTABLE, registered by module.cc in
// this order. Each binds library classes or functions without behaviour of
// its own: every method calls the library member it is named after (see
// the module's docstring for the conventions of texts, outputs and
// tables).

#ifndef MIXTABLE_EXCHANGE_PYTHON_BINDINGS_H_
#define MIXTABLE_EXCHANGE_PYTHON_BINDINGS_H_

namespace mixtable::python {

// Wy_Can, Wy_Base, Wy_BaseAndCan, Wy_Units, CWymask, Wy_Substrate,
// Wy_ShopData (records_py.cc).
void BindRecords();
// CMixtable and CMixtableEx; a CMixtableEx is also accepted wherever a
// table set is taken (tables_py.cc).
void BindTables();
// yformula and Wy_Frm (formula_py.cc).
void BindFormulaRecords();
// HFormula and Wy_Formula (hformula_py.cc).
void BindFormulas();
// The enumerations WYSPEC and HF_DATASOURCE_TYPE, their values also at
// module level, and the module functions (functions_py.cc).
void BindEnumsAndFunctions();
// What scripts need beyond that list, after it: Wy_DispenserData,
// Wy_Frm.m_Frm, the history and archive checks (functions_py.cc).
void BindAdditions();

}  // namespace mixtable::python

#endif  // MIXTABLE_EXCHANGE_PYTHON_BINDINGS_H_
