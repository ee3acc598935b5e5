#if os(macOS)
import AppKit
#elseif canImport(UIKit)
import UIKit
#else
#error("unsupported")
#endif
if #available(macOS 10.15, iOS 13, *) {
    button.action = #selector(didTap(_:))
}
@objc func didTap(_ sender: Any) {}
@MainActor final class Model {}
let where_ = #file
let hash = # 1
let hashes = ## x
