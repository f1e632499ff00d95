// What report scripts see of the model beyond Q_PROPERTY / Q_INVOKABLE reflection: the dataset
// methods (Open, Close, First, Next, Eof, RecordCount, Value['F'], FieldByName) and the report's
// Variables['x'] and GetDataset, registered as host classes with their ancestor chain so that a
// host class declared with ancestor "TfrxCustomQuery" inherits them.
// Thread contract: call RegisterModelScriptBinding on the UI thread before the first script is
// made (the class registry calls it when it is first used); calling it again does nothing.
#pragma once

namespace reportengine {

void RegisterModelScriptBinding();

}  // namespace reportengine
