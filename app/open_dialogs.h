#pragma once
// Ending the program while dialogs wait for an answer: each open dialog is
// closed as if cancelled, so whoever waits on it goes on with "no answer".

namespace velumar {

// Closes every visible dialog as cancelled: a message box by its cancelling
// button (its escape button, else one with the reject or no role), any other
// dialog by reject(). Answers how many were closed.
int closeOpenDialogsAsCancelled();

}  // namespace velumar
