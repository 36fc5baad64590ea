#pragma once

class TForm;

// Gives every control built on the form the name and description a screen reader announces:
// the name is the control's own caption, else the text of the label placed just before it
// (the label then also becomes its buddy, so its mnemonic reaches the control), else the
// control's component name; the description is its hint.
void ApplyAccessibleTexts(TForm* form);
