import UIKit

// Cells alone, made for an emitter layer elsewhere.
func makeSpark() -> CAEmitterCell {
    let cell = CAEmitterCell()
    cell.birthRate = 10
    return cell
}
