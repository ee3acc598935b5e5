import SwiftUI

struct HeartsView: UIViewRepresentable {
    var colors: [UIColor] = [.systemPink, .red]

    func makeUIView(context: Context) -> UIView {
        let host = UIView(frame: CGRect(x: 0, y: 0, width: 390, height: 300))
        let emitter = CAEmitterLayer()
        emitter.emitterPosition = CGPoint(x: host.bounds.midX, y: host.bounds.maxY)
        emitter.emitterShape = .point
        emitter.emitterMode = .points
        emitter.emitterCells = [0.8, 1.2].map { size in
            let heart = CAEmitterCell()
            heart.name = "heart"
            heart.birthRate = 3
            heart.lifetime = 4
            heart.velocity = 90
            heart.emissionLongitude = -.pi / 2
            heart.emissionRange = .pi / 6
            heart.scale = 0.2 * size
            heart.color = UIColor(red: 1, green: 0.3, blue: 0.5, alpha: 1).cgColor
            heart.contents = UIImage(systemName: "heart.fill")?.cgImage
            return heart
        }
        host.layer.addSublayer(emitter)
        return host
    }

    func updateUIView(_ uiView: UIView, context: Context) {
        guard let emitter = uiView.layer.sublayers?.first as? CAEmitterLayer else { return }
        emitter.birthRate = 1
    }
}

struct ContentView: View {
    var body: some View {
        HeartsView()
            .frame(width: 390, height: 300)
    }
}
